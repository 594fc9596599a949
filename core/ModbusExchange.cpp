#include "ModbusExchange.h"

#include <QModbusReply>

bool ModbusExchange::isWrite() const
{
    return functionCode == 5 || functionCode == 6 || functionCode == 15 || functionCode == 16;
}

void ModbusExchange::takeOutcome(const QModbusReply &reply, bool portLost)
{
    // The toolkit ends a reply with ProtocolError only for an exception response. Its
    // code is read from the data: the response's own accessors load a function code
    // that the toolkit stored sign-extended, which is undefined behaviour.
    const QByteArray data = reply.rawResult().data();
    exceptionCode = 0;
    switch (reply.error()) {
    case QModbusDevice::NoError:
        result = Result::Ok;
        break;
    case QModbusDevice::ProtocolError:
        result = data.isEmpty() ? Result::InvalidReply : Result::Exception;
        exceptionCode = data.isEmpty() ? 0 : quint8(data.at(0));
        break;
    case QModbusDevice::TimeoutError:
        result = Result::Timeout;
        break;
    case QModbusDevice::ReplyAbortedError:
        result = portLost ? Result::PortLost : Result::NotConnected;
        break;
    default:
        result = Result::InvalidReply;
        break;
    }
}
