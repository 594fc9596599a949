#include "SimulatedRequest.h"

namespace {

quint16 word(const QByteArray &data, int at)
{
    if (at + 1 >= data.size())
        return 0;
    return quint16((quint8(data.at(at)) << 8) | quint8(data.at(at + 1)));
}

} // namespace

SimulatedRequest SimulatedRequest::fromPdu(const QModbusPdu &pdu)
{
    SimulatedRequest request;
    request.function = pdu.functionCode();
    const QByteArray data = pdu.data();
    request.address = word(data, 0);

    switch (pdu.functionCode()) {
    case QModbusPdu::ReadCoils:
    case QModbusPdu::ReadDiscreteInputs:
    case QModbusPdu::ReadHoldingRegisters:
    case QModbusPdu::ReadInputRegisters:
        request.count = word(data, 2);
        break;
    case QModbusPdu::WriteSingleCoil:
        request.count = 1;
        request.values = {word(data, 2) == 0xFF00 ? quint16(1) : quint16(0)};
        break;
    case QModbusPdu::WriteSingleRegister:
        request.count = 1;
        request.values = {word(data, 2)};
        break;
    case QModbusPdu::WriteMultipleCoils:
        request.count = word(data, 2);
        for (int i = 0; i < request.count; ++i) {
            const int byte = 5 + i / 8;
            const bool on = byte < data.size() && (quint8(data.at(byte)) >> (i % 8)) & 1;
            request.values.append(on ? 1 : 0);
        }
        break;
    case QModbusPdu::WriteMultipleRegisters:
        request.count = word(data, 2);
        for (int i = 0; i < request.count; ++i)
            request.values.append(word(data, 5 + 2 * i));
        break;
    default:
        break;
    }
    return request;
}
