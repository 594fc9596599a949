#include "FirmwareUploader.h"

#include "FirmwareImage.h"
#include "I18n.h"
#include "PortWatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDevice>
#include <QModbusDataUnit>
#include <QModbusPdu>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>
#include <QVariant>

#include <utility>

namespace {

constexpr int BootloaderUnit = 16;
constexpr int BootloaderBaudRate = 115200;
constexpr unsigned short BootloaderSignature = 12;
constexpr unsigned short ExpectedMajorVersion = 2;

constexpr int OpeningTimeoutMs = 100;
constexpr int IdentityTimeoutMs = 150;
constexpr int WriteTimeoutMs = 100;
constexpr int StatusTimeoutMs = 150;
constexpr int Attempts = 4;
// While the module is being rebooted, the log tells how long the wait lasts so far.
constexpr int WaitReportMs = 10000;
// The toolkit client times out only requests whose bytes reached the line; this bound
// ends the wait for one that never got there (adapter pulled, write error).
constexpr int GuardMarginMs = 250;

constexpr unsigned short LineLengthRegister = 101;
constexpr unsigned short CommandRegister = 102;
constexpr unsigned short ProgramLineCommand = 0x1A80;
constexpr short ExitCommand = 2;
constexpr unsigned short LineWritten = 1;
// The bootloader prepares its flash after the first line before it reports a status.
constexpr int FirstLinePauseMs = 3000;

// A line, its terminating zero and the pad byte must fit the 123 registers that one
// Modbus write carries.
constexpr int MaxLineLength = 244;

constexpr quint8 ResultOk = 0;
constexpr quint8 ResultNoLink = QModbusDevice::ConnectionError;
constexpr quint8 ResultNoReply = QModbusDevice::TimeoutError;

} // namespace

using Level = FirmwareUploader::Level;
using Result = FirmwareUploader::Result;

FirmwareUploader::FirmwareUploader(QObject *parent)
    : QObject(parent)
    , m_portWatcher(new PortWatcher(this))
{
    connect(m_portWatcher, &PortWatcher::lost, this, &FirmwareUploader::losePort);
}

FirmwareUploader::~FirmwareUploader()
{
    closeLink();
}

void FirmwareUploader::cancel()
{
    m_cancelled = true;
}

Result FirmwareUploader::upload(const QString &portName, QFileDevice &file)
{
    if (m_running)
        return Result::Busy;
    const QPointer<FirmwareUploader> self(this);
    m_running = true;
    m_quitting = false;
    m_cancelled = false;
    m_lossReason.clear();
    const Result result = run(portName, file);
    if (!self)
        return result;
    closeLink();
    m_running = false;
    m_cancelled = false;
    emit finished(result);
    return result;
}

Result FirmwareUploader::run(const QString &portName, QFileDevice &file)
{
    if (portName.isEmpty()) {
        emit logLine(Level::Error, str(Str::FwErrNoPort));
        return Result::NoPort;
    }
    if (!file.isOpen()) {
        emit logLine(Level::Error, str(Str::FwErrNoFile));
        return Result::NoFile;
    }
    emit started();
    if (!openLink(portName))
        return Result::LinkFailed;
    emit logLine(Level::Warning, str(Str::FwInfoReboot));

    unsigned short identity[3] = {0, 0, 0};
    if (!waitForBootloader(identity))
        return reportLoss() ? Result::LinkLost : Result::Cancelled;
    emit logLine(Level::Ok, str(Str::FwOkBootloader).arg(identity[1]).arg(identity[2]));
    if (identity[1] != ExpectedMajorVersion) {
        emit logLine(Level::Warning,
                     str(Str::FwWarnVersion).arg(identity[1]).arg(ExpectedMajorVersion));
    }
    if (!verifyImage(file))
        return Result::ImageRejected;
    emit logLine(Level::Info, str(Str::FwInfoStarting));
    FirmwareImage image(file);
    return transfer(image);
}

bool FirmwareUploader::verifyImage(QFileDevice &file)
{
    const FirmwareImage::Check check = FirmwareImage(file).verifyChecksum();
    emit logLine(check.verified() ? Level::Ok : Level::Error, check.message());
    return check.verified();
}

bool FirmwareUploader::waitForBootloader(unsigned short identity[3])
{
    // No overall limit: the user reboots the module after starting the upload, which
    // may take any time; a cancel ends the wait.
    const QPointer<FirmwareUploader> self(this);
    QElapsedTimer waited;
    waited.start();
    qint64 nextReportMs = WaitReportMs;
    int polls = 0;
    for (;;) {
        if (m_cancelled) {
            emit logLine(Level::Warning, str(Str::FwInfoCancelled));
            return false;
        }
        if (waited.elapsed() >= nextReportMs) {
            nextReportMs = waited.elapsed() + WaitReportMs;
            emit logLine(Level::Info,
                         tr("Still waiting for the bootloader: %1 s, %2 polls.")
                             .arg(waited.elapsed() / 1000)
                             .arg(polls));
        }
        ++polls;
        QElapsedTimer pollTime;
        pollTime.start();
        const quint8 result =
            readInputRegisters(identity, 0, 3, BootloaderUnit, IdentityTimeoutMs);
        if (!self)
            return false;
        QCoreApplication::processEvents();
        if (!self || !m_lossReason.isEmpty())
            return false;
        // Failures that come back at once (an adapter pulled while the module reboots)
        // must not turn the wait into a busy loop: poll at most once per time-out.
        if (result != ResultOk && pollTime.elapsed() < IdentityTimeoutMs && !m_quitting
            && !pause(IdentityTimeoutMs - int(pollTime.elapsed()))) {
            return false;
        }
        if (result != ResultOk || identity[0] != BootloaderSignature)
            continue;
        if (m_cancelled) {
            emit logLine(Level::Warning, str(Str::FwInfoCancelled));
            return false;
        }
        return true;
    }
}

Result FirmwareUploader::transfer(FirmwareImage &image)
{
    const QPointer<FirmwareUploader> self(this);
    image.rewind();
    unsigned short registers[MaxLineLength / 2 + 1] = {};
    QByteArray line;
    bool firstLine = true;

    for (;;) {
        const FirmwareImage::Read read = image.readLine(line);
        // A medium pulled mid-transfer is no end of file: the image is incomplete, and
        // leaving the bootloader now would start a half-written program.
        if (read == FirmwareImage::Read::Failed) {
            emit logLine(Level::Error, str(Str::FwErrChunk));
            return Result::TransferFailed;
        }
        if (read == FirmwareImage::Read::End)
            break;
        if (m_cancelled) {
            emit logLine(Level::Warning, str(Str::FwWarnCancelled));
            writeRegister(ExitCommand, CommandRegister, BootloaderUnit, WriteTimeoutMs);
            return Result::Cancelled;
        }
        if (!FirmwareImage::isSent(line))
            continue;
        const int length = int(line.size());
        if (length > MaxLineLength) {
            emit logLine(Level::Error, str(Str::FwErrChunk));
            return Result::TransferFailed;
        }

        // The line, its terminating zero and, for an even length, a pad byte; register
        // i holds byte 2i in its low half.
        const auto byteAt = [&line, length](int i) -> unsigned {
            return i < length ? static_cast<unsigned char>(line.at(i)) : 0u;
        };
        const auto count = static_cast<unsigned short>(length / 2 + 1);
        for (unsigned short i = 0; i < count; ++i)
            registers[i] = static_cast<unsigned short>(byteAt(2 * i) | byteAt(2 * i + 1) << 8);

        const quint8 written = writeRegisters(registers, 0, count, BootloaderUnit, WriteTimeoutMs);
        if (!self)
            return Result::Cancelled;
        if (written != ResultOk)
            return transferFailure(str(Str::FwErrChunk));

        unsigned short command[2] = {static_cast<unsigned short>(length), ProgramLineCommand};
        const quint8 commanded =
            writeRegisters(command, LineLengthRegister, 2, BootloaderUnit, WriteTimeoutMs);
        if (!self)
            return Result::Cancelled;
        if (commanded != ResultOk)
            return transferFailure(str(Str::FwErrCommand));

        if (firstLine) {
            if (!pause(FirstLinePauseMs))
                return Result::Cancelled;
            firstLine = false;
        }

        unsigned short status = 0;
        const quint8 statusRead =
            readHoldingRegisters(&status, CommandRegister, 1, BootloaderUnit, StatusTimeoutMs);
        if (!self)
            return Result::Cancelled;
        if (statusRead != ResultOk)
            return transferFailure(str(Str::FwErrStatus));
        if (status != LineWritten) {
            emit logLine(Level::Error, str(Str::FwErrFlashWrite));
            return Result::TransferFailed;
        }

        // No event pass of its own: each request's wait already runs the caller's events,
        // the cancel request among them.
        emit progressChanged(image.percentRead());
        if (!self)
            return Result::Cancelled;
    }

    const quint8 left =
        writeRegister(ExitCommand, CommandRegister, BootloaderUnit, WriteTimeoutMs);
    if (!self)
        return Result::Cancelled;
    if (left != ResultOk)
        return transferFailure(str(Str::FwErrExit));
    emit progressChanged(100);
    emit logLine(Level::Success, str(Str::FwSuccess));
    return Result::Success;
}

Result FirmwareUploader::transferFailure(const QString &message)
{
    if (reportLoss())
        return Result::LinkLost;
    emit logLine(Level::Error, message);
    return Result::TransferFailed;
}

bool FirmwareUploader::reportLoss()
{
    if (m_lossReason.isEmpty())
        return false;
    emit logLine(Level::Error, tr("Connection lost: %1").arg(m_lossReason));
    return true;
}

void FirmwareUploader::losePort(const QString &reason)
{
    // Closing the link ends the request that waits; the upload then stops with the loss.
    m_lossReason = reason;
    closeLink();
}

bool FirmwareUploader::pause(int ms)
{
    // A timed wait in a nested loop, not a sleep: the window repaints and a cancel
    // request is taken meanwhile. Precise, and repeated if woken early, so the device
    // never gets less time than it needs.
    const QPointer<FirmwareUploader> self(this);
    QElapsedTimer clock;
    clock.start();
    while (!m_quitting && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
        timer.start(ms - int(clock.elapsed()));
        const int exitCode = loop.exec();
        if (!self)
            return false;
        if (exitCode < 0) { // the application is quitting: see registerOp()
            m_quitting = true;
            m_cancelled = true;
        }
    }
    return true;
}

quint8 FirmwareUploader::readInputRegisters(unsigned short *dst, unsigned short start,
                                            unsigned short count, int serverAddress, int timeoutMs)
{
    return registerOp(RegisterOp::ReadInput, dst, start, count, serverAddress, timeoutMs);
}

quint8 FirmwareUploader::readHoldingRegisters(unsigned short *dst, unsigned short start,
                                              unsigned short count, int serverAddress,
                                              int timeoutMs)
{
    return registerOp(RegisterOp::ReadHolding, dst, start, count, serverAddress, timeoutMs);
}

quint8 FirmwareUploader::writeRegisters(unsigned short *src, unsigned short start,
                                        unsigned short count, int serverAddress, int timeoutMs)
{
    return registerOp(RegisterOp::Write, src, start, count, serverAddress, timeoutMs);
}

quint8 FirmwareUploader::writeRegister(short value, unsigned short address, int serverAddress,
                                       int timeoutMs)
{
    unsigned short pattern = static_cast<unsigned short>(value);
    return registerOp(RegisterOp::Write, &pattern, address, 1, serverAddress, timeoutMs);
}

quint8 FirmwareUploader::registerOp(RegisterOp op, unsigned short *values, unsigned short start,
                                    unsigned short count, int serverAddress, int timeoutMs)
{
    if (!m_modbus || m_modbus->state() != QModbusDevice::ConnectedState)
        return ResultNoLink;
    m_modbus->setTimeout(timeoutMs);

    const QPointer<FirmwareUploader> self(this);
    const auto table = op == RegisterOp::ReadInput ? QModbusDataUnit::InputRegisters
                                                   : QModbusDataUnit::HoldingRegisters;
    for (int attempt = 0; attempt < Attempts && !m_quitting; ++attempt) {
        if (!m_modbus) // the port went away meanwhile
            return ResultNoLink;
        QModbusDataUnit unit(table, start, count);
        QModbusReply *reply = nullptr;
        if (op == RegisterOp::Write) {
            for (unsigned short i = 0; i < count; ++i)
                unit.setValue(i, values[i]);
            reply = m_modbus->sendWriteRequest(unit, serverAddress);
        } else {
            reply = m_modbus->sendReadRequest(unit, serverAddress);
        }
        if (!reply)
            continue;

        ModbusExchange record;
        record.sent = QDateTime::currentDateTime();
        record.node = serverAddress;
        record.functionCode = QModbusRequest::WriteMultipleRegisters; // as the toolkit sends
        if (op == RegisterOp::ReadInput)
            record.functionCode = QModbusRequest::ReadInputRegisters;
        else if (op == RegisterOp::ReadHolding)
            record.functionCode = QModbusRequest::ReadHoldingRegisters;
        else if (count == 1)
            record.functionCode = QModbusRequest::WriteSingleRegister;
        record.start = start;
        record.count = count;
        if (op == RegisterOp::Write)
            record.written = unit.values();
        QElapsedTimer replyTime;
        replyTime.start();
        // Every way out of this attempt reports it.
        const auto report = [this, &record, &replyTime](ModbusExchange::Result result) {
            record.result = result;
            record.replyMs = double(replyTime.nsecsElapsed()) / 1e6;
            emit exchangeFinished(record);
        };

        const QPointer<QModbusReply> guard(reply);
        if (!reply->isFinished()) {
            QEventLoop loop;
            QTimer bound;
            bound.setSingleShot(true);
            connect(reply, &QModbusReply::finished, &loop, &QEventLoop::quit);
            connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
            connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
            bound.start(timeoutMs + GuardMarginMs);
            const int exitCode = loop.exec();
            if (!self)
                return ResultNoLink;
            if (exitCode < 0) {
                // The application is quitting: no nested loop runs any more, so nothing
                // can be waited for. Treat it as a cancel request.
                m_quitting = true;
                m_cancelled = true;
            }
        }
        if (!guard) {
            report(m_lossReason.isEmpty() ? ModbusExchange::Result::NotConnected
                                          : ModbusExchange::Result::PortLost);
            continue;
        }
        if (!reply->isFinished()) {
            // Still queued or on the wire: the client would crash on a late answer to a
            // deleted reply, so it is released only once the client is done with it.
            connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
            report(ModbusExchange::Result::Timeout);
            continue;
        }
        record.takeOutcome(*reply, !m_lossReason.isEmpty());

        bool ok = reply->error() == QModbusDevice::NoError;
        const QModbusDataUnit result = reply->result();
        if (ok && op == RegisterOp::Write) {
            // Replies are matched by function code only; the echoed address and count
            // tell a late answer to an earlier write from the answer to this one.
            ok = result.startAddress() == start && result.valueCount() == count;
        } else if (ok) {
            const qsizetype received = qMin<qsizetype>(result.valueCount(), count);
            for (qsizetype i = 0; i < received; ++i)
                values[i] = result.value(i);
            record.read = result.values().mid(0, received);
        }
        reply->deleteLater();
        // An answer without error but with the wrong echo is a reply to something else.
        if (!ok && record.ok())
            record.result = ModbusExchange::Result::InvalidReply;
        report(record.result);
        if (ok)
            return ResultOk;
    }
    return ResultNoReply;
}

bool FirmwareUploader::openLink(const QString &portName)
{
    closeLink();
    m_modbus = new QModbusRtuSerialClient(this);
    m_modbus->setConnectionParameter(QModbusDevice::SerialPortNameParameter, portName);
    m_modbus->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, BootloaderBaudRate);
    m_modbus->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    m_modbus->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    m_modbus->setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    m_modbus->setTimeout(OpeningTimeoutMs);
    m_modbus->setNumberOfRetries(0);

    if (!m_modbus->connectDevice()) {
        const QString reason = m_modbus->errorString();
        delete std::exchange(m_modbus, nullptr);
        emit logLine(Level::Error, str(Str::FwErrPortOpen).arg(reason));
        return false;
    }
    m_portWatcher->watch(m_modbus, portName);
    emit logLine(Level::Ok, str(Str::FwOkConnected).arg(portName));
    return true;
}

void FirmwareUploader::closeLink()
{
    m_portWatcher->stop();
    if (!m_modbus)
        return;
    // Finishes every reply still queued, so no wait is left hanging on this client.
    m_modbus->disconnectDevice();
    delete std::exchange(m_modbus, nullptr);
}
