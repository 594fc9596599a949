#include "BootloaderSimulator.h"

namespace {

// Marks register 102 before a write to it, to see afterwards whether the write took
// effect or was swallowed by a fault.
constexpr quint16 Unwritten = 0xFFFF;
constexpr int MaxLineLength = 255;

} // namespace

BootloaderSimulator::BootloaderSimulator(QObject *parent)
    : DeviceSimulator(parent)
{
    setIdentity(Signature, m_major, m_minor);
}

bool BootloaderSimulator::start(const QString &portPath)
{
    return DeviceSimulator::start(portPath, UnitAddress, BaudRate, QSerialPort::NoParity);
}

void BootloaderSimulator::setVersion(quint16 major, quint16 minor)
{
    m_major = major;
    m_minor = minor;
    setIdentity(Signature, major, minor);
}

void BootloaderSimulator::setBootDelay(int polls, quint16 applicationSignature)
{
    m_bootPolls = polls;
    m_applicationSignature = applicationSignature;
}

void BootloaderSimulator::setExchangeFault(Exchange exchange, int line, int attempts, Fault fault,
                                           int parameter)
{
    m_faults.append({exchange, line, attempts, fault, parameter});
}

void BootloaderSimulator::setStatusAtLine(int line, quint16 status)
{
    m_statusAtLine.insert(line, status);
}

void BootloaderSimulator::clearExchangeFaults()
{
    m_faults.clear();
    m_statusAtLine.clear();
    m_bootPolls = 0;
}

BootloaderSimulator::Exchange BootloaderSimulator::exchangeOf(const SimulatedRequest &request)
{
    switch (request.function) {
    case QModbusPdu::ReadInputRegisters:
        return request.address == 0 ? Exchange::Identity : Exchange::Other;
    case QModbusPdu::ReadHoldingRegisters:
        return request.address == CommandRegister ? Exchange::StatusRead : Exchange::Other;
    case QModbusPdu::WriteSingleRegister:
        if (request.address == 0)
            return Exchange::LineWrite;
        return request.address == CommandRegister ? Exchange::Exit : Exchange::Other;
    case QModbusPdu::WriteMultipleRegisters:
        if (request.address == 0)
            return Exchange::LineWrite;
        return request.address == LineLengthRegister ? Exchange::Command : Exchange::Other;
    default:
        return Exchange::Other;
    }
}

void BootloaderSimulator::takeExchangeFault(Exchange exchange, int line)
{
    for (ExchangeFault &fault : m_faults) {
        if (fault.exchange != exchange || fault.remaining == 0
            || (fault.line != 0 && fault.line != line)) {
            continue;
        }
        if (fault.remaining > 0)
            --fault.remaining;
        setFault(fault.fault, fault.parameter, 1);
        return;
    }
}

QModbusResponse BootloaderSimulator::processRequest(const QModbusPdu &request)
{
    const SimulatedRequest parsed = SimulatedRequest::fromPdu(request);
    const Exchange exchange = exchangeOf(parsed);
    const int programmed = m_newImage ? 0 : int(m_lines.size());

    bool silent = false;
    if (exchange == Exchange::Identity) {
        // Every upload starts by asking who is there; what follows is a new image.
        m_newImage = true;
        const bool booting = m_bootPolls > 0;
        if (booting)
            --m_bootPolls;
        silent = booting && m_applicationSignature == 0;
        if (silent)
            setFault(Fault::NoReply, 0, 1);
        setInputRegister(0, booting && !silent ? m_applicationSignature : Signature);
    }
    if (!silent)
        takeExchangeFault(exchange,
                          exchange == Exchange::StatusRead ? programmed : programmed + 1);

    const bool commandWrite = exchange == Exchange::Command || exchange == Exchange::Exit;
    const quint16 previousStatus = holdingRegister(CommandRegister);
    if (commandWrite)
        setHoldingRegister(CommandRegister, Unwritten);

    const QModbusResponse response = DeviceSimulator::processRequest(request);

    if (commandWrite) {
        const quint16 command = holdingRegister(CommandRegister);
        if (command == ProgramLineCommand && exchange == Exchange::Command) {
            programLine();
        } else if (command == ExitCommand && exchange == Exchange::Exit) {
            ++m_exitCommands;
            m_newImage = true;
            setHoldingRegister(CommandRegister, 0);
            emit exitCommandReceived();
        } else if (command == Unwritten) {
            setHoldingRegister(CommandRegister, previousStatus);
        }
    }
    return response;
}

void BootloaderSimulator::programLine()
{
    if (m_newImage) {
        m_lines.clear();
        m_newImage = false;
    }
    const int length = holdingRegister(LineLengthRegister);
    const int line = int(m_lines.size()) + 1;
    if (length == 0 || length > MaxLineLength) {
        setHoldingRegister(CommandRegister, 0);
        emit lineProgrammed(line, QByteArray(), 0);
        return;
    }

    QByteArray text;
    text.reserve(length);
    for (int i = 0; i < length; ++i) {
        const quint16 value = holdingRegister(i / 2);
        text.append(char(i % 2 == 0 ? value & 0xFF : value >> 8));
    }
    m_lines.append(text);
    const quint16 status = m_statusAtLine.value(line, LineWritten);
    setHoldingRegister(CommandRegister, status);
    emit lineProgrammed(line, text, status);
}
