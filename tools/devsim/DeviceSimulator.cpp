#include "DeviceSimulator.h"

#include <QTimer>

#include <cmath>

namespace {

constexpr int DefaultCount = 256;

quint16 modbusCrc(const QByteArray &frame)
{
    quint16 crc = 0xFFFF;
    for (char byte : frame) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

bool isRead(QModbusPdu::FunctionCode code)
{
    return code == QModbusPdu::ReadCoils || code == QModbusPdu::ReadDiscreteInputs
        || code == QModbusPdu::ReadHoldingRegisters || code == QModbusPdu::ReadInputRegisters;
}

QModbusDataUnit::RegisterType tableOf(int function)
{
    switch (function) {
    case QModbusPdu::ReadCoils:
    case QModbusPdu::WriteSingleCoil:
    case QModbusPdu::WriteMultipleCoils:
        return QModbusDataUnit::Coils;
    case QModbusPdu::ReadDiscreteInputs:
        return QModbusDataUnit::DiscreteInputs;
    case QModbusPdu::ReadHoldingRegisters:
    case QModbusPdu::WriteSingleRegister:
    case QModbusPdu::WriteMultipleRegisters:
        return QModbusDataUnit::HoldingRegisters;
    case QModbusPdu::ReadInputRegisters:
        return QModbusDataUnit::InputRegisters;
    default:
        return QModbusDataUnit::Invalid;
    }
}

} // namespace

DeviceSimulator::DeviceSimulator(QObject *parent)
    : QModbusRtuSerialServer(parent)
{
    qRegisterMetaType<SimulatedRequest>();
    m_clock.start();
    // The server writes its replies through this port; held-back replies use it too.
    m_port = findChild<QSerialPort *>();
    setRegisterCounts(DefaultCount, DefaultCount, DefaultCount, DefaultCount);
}

void DeviceSimulator::setIdentity(quint16 signature, quint16 major, quint16 minor)
{
    m_identity[0] = signature;
    m_identity[1] = major;
    m_identity[2] = minor;
    for (int i = 0; i < 3; ++i)
        setData(QModbusDataUnit::InputRegisters, quint16(i), m_identity[i]);
}

quint16 DeviceSimulator::signature() const
{
    return m_identity[0];
}

void DeviceSimulator::setRegisterCounts(int coils, int discreteInputs, int holdingRegisters,
                                        int inputRegisters)
{
    QModbusDataUnitMap map;
    const auto add = [&map](QModbusDataUnit::RegisterType type, int count) {
        if (count > 0)
            map.insert(type, QModbusDataUnit(type, 0, quint16(count)));
    };
    add(QModbusDataUnit::Coils, coils);
    add(QModbusDataUnit::DiscreteInputs, discreteInputs);
    add(QModbusDataUnit::HoldingRegisters, holdingRegisters);
    add(QModbusDataUnit::InputRegisters, qMax(inputRegisters, 3));
    setMap(map);
    setIdentity(m_identity[0], m_identity[1], m_identity[2]);
}

bool DeviceSimulator::start(const QString &portPath, int node, int baudRate,
                            QSerialPort::Parity parity)
{
    stop();
    setConnectionParameter(QModbusDevice::SerialPortNameParameter, portPath);
    setConnectionParameter(QModbusDevice::SerialBaudRateParameter, baudRate);
    setConnectionParameter(QModbusDevice::SerialParityParameter, parity);
    setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    setServerAddress(node);
    return connectDevice() && state() == QModbusDevice::ConnectedState;
}

void DeviceSimulator::stop()
{
    if (state() != QModbusDevice::UnconnectedState)
        disconnectDevice();
}

quint16 DeviceSimulator::holdingRegister(int address) const
{
    quint16 value = 0;
    data(QModbusDataUnit::HoldingRegisters, quint16(address), &value);
    return value;
}

void DeviceSimulator::setHoldingRegister(int address, quint16 value)
{
    setData(QModbusDataUnit::HoldingRegisters, quint16(address), value);
}

quint16 DeviceSimulator::inputRegister(int address) const
{
    quint16 value = 0;
    data(QModbusDataUnit::InputRegisters, quint16(address), &value);
    return value;
}

void DeviceSimulator::setInputRegister(int address, quint16 value)
{
    setData(QModbusDataUnit::InputRegisters, quint16(address), value);
}

bool DeviceSimulator::coil(int address) const
{
    quint16 value = 0;
    data(QModbusDataUnit::Coils, quint16(address), &value);
    return value != 0;
}

void DeviceSimulator::setCoil(int address, bool value)
{
    setData(QModbusDataUnit::Coils, quint16(address), value ? 1 : 0);
}

bool DeviceSimulator::discreteInput(int address) const
{
    quint16 value = 0;
    data(QModbusDataUnit::DiscreteInputs, quint16(address), &value);
    return value != 0;
}

void DeviceSimulator::setDiscreteInput(int address, bool value)
{
    setData(QModbusDataUnit::DiscreteInputs, quint16(address), value ? 1 : 0);
}

void DeviceSimulator::setFault(Fault fault, int parameter, int times)
{
    m_fault = fault;
    m_faultParameter = parameter;
    m_faultTimes = times;
}

void DeviceSimulator::clearFault()
{
    setFault(Fault::None);
    ++m_heldGeneration;
    m_busyUntilMs = 0;
}

DeviceSimulator::Fault DeviceSimulator::takeFault(int *parameter)
{
    const Fault fault = m_fault;
    *parameter = m_faultParameter;
    if (fault != Fault::None && m_faultTimes > 0 && --m_faultTimes == 0)
        m_fault = Fault::None;
    return fault;
}

QModbusResponse DeviceSimulator::processRequest(const QModbusPdu &request)
{
    const SimulatedRequest logged = SimulatedRequest::fromPdu(request);
    m_requests.append(logged);
    emit requestReceived(logged);

    // A device busy with an earlier request hears nothing, or answers once it is done.
    const qint64 busyForMs = m_busyUntilMs - m_clock.elapsed();
    const bool busy = busyForMs > 0;
    if (busy && !m_busyQueues)
        return QModbusResponse();
    int parameter = 0;
    const Fault fault = busy ? Fault::None : takeFault(&parameter);
    if (fault == Fault::NoReply)
        return QModbusResponse(); // the server sends nothing for an invalid response
    if (fault == Fault::Exception) {
        return QModbusExceptionResponse(request.functionCode(),
                                        QModbusExceptionResponse::ExceptionCode(parameter));
    }

    const QModbusDataUnit::RegisterType table = tableOf(logged.function);
    const bool known = !m_addressFilter || table == QModbusDataUnit::Invalid
        || m_addressFilter(table, logged.address, logged.count);
    QModbusResponse response = known
        ? QModbusRtuSerialServer::processRequest(request)
        : QModbusExceptionResponse(request.functionCode(),
                                   QModbusExceptionResponse::IllegalDataAddress);
    if (!response.isException() && m_saveRegister >= 0) {
        const int offset = m_saveRegister - logged.address;
        const bool registerWrite = logged.function == QModbusPdu::WriteSingleRegister
            || logged.function == QModbusPdu::WriteMultipleRegisters;
        if (registerWrite && offset >= 0 && offset < logged.values.size()
            && logged.values.at(offset) == SaveCommand) {
            emit saveCommandReceived();
        }
    }

    if (fault == Fault::ShortReply)
        response = resized(request, response, -1);
    else if (fault == Fault::LongReply)
        response = resized(request, response, +1);
    else if (fault == Fault::WrongEcho)
        response = wrongEcho(response);

    int delayMs = fault == Fault::Delay ? parameter : 0;
    if (fault == Fault::Busy || fault == Fault::BusyQueues) {
        delayMs = parameter;
        m_busyUntilMs = m_clock.elapsed() + parameter;
        m_busyQueues = fault == Fault::BusyQueues;
    } else if (busy) {
        delayMs = int(busyForMs);
        ++m_busyUntilMs; // the replies leave in the order of their requests
    }
    if (m_lineTiming)
        delayMs += wireTimeMs(int(request.size()) + 3, int(response.size()) + 3);
    const bool corruptCrc = fault == Fault::BadCrc;
    if (delayMs == 0 && !corruptCrc)
        return response;

    sendLater(response, delayMs, corruptCrc);
    return QModbusResponse();
}

QModbusResponse DeviceSimulator::resized(const QModbusPdu &request,
                                         const QModbusResponse &response, int delta) const
{
    if (response.isException())
        return response;
    QByteArray data = response.data();
    if (isRead(request.functionCode()) && !data.isEmpty()) {
        // A read reply is a byte count followed by the values: keep them consistent so
        // that the frame itself is well formed and only the value count is off.
        const bool words = request.functionCode() == QModbusPdu::ReadHoldingRegisters
            || request.functionCode() == QModbusPdu::ReadInputRegisters;
        const int bytes = (words ? 2 : 1) * delta;
        const int newCount = qMax(0, quint8(data.at(0)) + bytes);
        data = data.mid(1).leftJustified(newCount, '\x5A', true);
        data.prepend(char(newCount));
    } else if (delta < 0) {
        data.chop(1);
    } else {
        data.append('\0');
    }
    return QModbusResponse(response.functionCode(), data);
}

QModbusResponse DeviceSimulator::wrongEcho(const QModbusResponse &response)
{
    quint16 address = 0;
    quint16 second = 0;
    if (response.isException() || response.dataSize() != 4)
        return response;
    response.decodeData(&address, &second);
    switch (response.functionCode()) {
    case QModbusPdu::WriteSingleCoil:
        second ^= 0xFF00; // on becomes off and off on
        break;
    case QModbusPdu::WriteSingleRegister:
        second = quint16(~second);
        break;
    case QModbusPdu::WriteMultipleCoils:
    case QModbusPdu::WriteMultipleRegisters:
        ++address;
        break;
    default:
        return response;
    }
    return QModbusResponse(response.functionCode(), address, second);
}

int DeviceSimulator::wireTimeMs(int requestBytes, int replyBytes)
{
    const int baud = qMax(1, connectionParameter(QModbusDevice::SerialBaudRateParameter).toInt());
    const bool parity =
        connectionParameter(QModbusDevice::SerialParityParameter).toInt() != QSerialPort::NoParity;
    const double bitsPerChar = 1 + 8 + (parity ? 1 : 0) + 1;
    const double chars = requestBytes + replyBytes + 3.5;
    // Timers count whole milliseconds: what one reply's rounding leaves over goes to the
    // next, so a long exchange of frames takes as long as on a real line.
    const double exact = chars * bitsPerChar * 1000.0 / baud + m_timingCarry;
    const int rounded = qMax(1, int(std::lround(exact)));
    m_timingCarry = exact - rounded;
    return rounded;
}

void DeviceSimulator::sendLater(const QModbusResponse &response, int delayMs, bool corruptCrc)
{
    QTimer::singleShot(delayMs, Qt::PreciseTimer, this,
                       [this, response, corruptCrc, generation = m_heldGeneration] {
                           if (generation != m_heldGeneration)
                               return;
                           writeFrame(response, corruptCrc);
                           emit replySent();
                       });
}

void DeviceSimulator::writeFrame(const QModbusResponse &response, bool corruptCrc)
{
    if (!m_port || !m_port->isOpen())
        return;
    QByteArray frame;
    frame.append(char(serverAddress()));
    frame.append(char(quint8(response.functionCode()) | (response.isException() ? 0x80 : 0)));
    frame.append(response.data());
    quint16 crc = modbusCrc(frame);
    if (corruptCrc)
        crc ^= 0xFFFF;
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    m_port->write(frame);
}
