#include "ModbusClient.h"

#include "ExchangeFormatter.h"
#include "PortWatcher.h"

#include <QEventLoop>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QMutexLocker>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>
#include <QVariant>

#include <utility>

namespace {

// The guard gives the toolkit's first attempt its 500 ms and a little more for the retry.
constexpr int GuardMarginMs = 200;
// A line that never goes quiet (another master, noise) fails the request after this long.
constexpr int MaxSettleMs = 3000;

// Largest value counts a Modbus frame can carry; anything beyond would put an
// illegal frame on a shared bus.
constexpr quint16 MaxReadBits = 2000;
constexpr quint16 MaxReadRegisters = 125;
constexpr quint16 MaxWriteBits = 1968;
constexpr quint16 MaxWriteRegisters = 123;

bool isBitType(QModbusDataUnit::RegisterType type)
{
    return type == QModbusDataUnit::Coils || type == QModbusDataUnit::DiscreteInputs;
}

quint16 maxCount(QModbusDataUnit::RegisterType type, bool isWrite)
{
    if (isWrite)
        return isBitType(type) ? MaxWriteBits : MaxWriteRegisters;
    return isBitType(type) ? MaxReadBits : MaxReadRegisters;
}

QSerialPort::Parity toSerialParity(char parity)
{
    // Clearing bit 5 folds lower case onto upper case.
    const char upper = char(parity & ~0x20);
    if (upper == 'E')
        return QSerialPort::EvenParity;
    if (upper == 'O')
        return QSerialPort::OddParity;
    return QSerialPort::NoParity;
}

quint8 functionCode(QModbusDataUnit::RegisterType type, bool isWrite, qsizetype count)
{
    // The toolkit sends a single write for one value.
    switch (type) {
    case QModbusDataUnit::Coils:
        return isWrite ? (count == 1 ? 0x05 : 0x0F) : 0x01;
    case QModbusDataUnit::DiscreteInputs:
        return 0x02;
    case QModbusDataUnit::HoldingRegisters:
        return isWrite ? (count == 1 ? 0x06 : 0x10) : 0x03;
    default:
        return 0x04;
    }
}

bool sameCount(const QModbusDataUnit &sent, const QModbusDataUnit &answer)
{
    // A device never answers with another count: such a reply is a late answer to
    // an earlier request or a broken device, and its values must not be taken.
    return answer.valueCount() == sent.valueCount();
}

bool paddedBits(const QModbusDataUnit &sent, const QModbusDataUnit &answer)
{
    // Bits arrive padded to whole bytes, so up to seven values more than asked for
    // are normal; a whole byte more is a reply to some other request.
    return answer.valueCount() >= sent.valueCount() && answer.valueCount() < sent.valueCount() + 8;
}

bool echoed(const QModbusDataUnit &sent, const QModbusDataUnit &answer)
{
    // The toolkit matches replies by function code only; the echoed address and
    // count, and for a single write its value, tell a late reply to an earlier write
    // from the answer to this one.
    if (answer.startAddress() != sent.startAddress() || answer.valueCount() != sent.valueCount())
        return false;
    if (sent.valueCount() != 1)
        return true;
    // A single coil comes back as 0xFF00 or 0x0000, a register as itself.
    const quint16 value = sent.value(0);
    const quint16 back = answer.value(0);
    return sent.registerType() == QModbusDataUnit::Coils ? (back != 0) == (value != 0)
                                                         : back == value;
}

} // namespace

ModbusClient::ModbusClient(QObject *parent)
    : QObject(parent)
    , m_portWatcher(new PortWatcher(this))
{
    m_clock.start();
    QObject::connect(m_portWatcher, &PortWatcher::lost, this, &ModbusClient::losePort);
}

ModbusClient::~ModbusClient()
{
    disconnect();
}

const QList<int> &ModbusClient::baudRates()
{
    static const QList<int> rates{2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return rates;
}

bool ModbusClient::connect(const QString &portName, int baudRate, char parity, int dataBits,
                           int stopBits, int slaveAddress)
{
    m_mutex.lock();
    if (m_connected) {
        m_mutex.unlock();
        disconnect();
        m_mutex.lock();
    }

    m_modbus = new QModbusRtuSerialClient(this);
    m_modbus->setConnectionParameter(QModbusDevice::SerialPortNameParameter, portName);
    m_modbus->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, baudRate);
    m_modbus->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, dataBits);
    m_modbus->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, stopBits);
    m_modbus->setConnectionParameter(QModbusDevice::SerialParityParameter, toSerialParity(parity));
    m_modbus->setTimeout(m_timeout);
    m_modbus->setNumberOfRetries(1);
    m_slaveAddress = slaveAddress;

    m_abandoned.clear();
    m_quietNeededMs = 0;
    if (m_modbus->connectDevice()) {
        // Every byte that arrives counts as activity on the line, also the ones the
        // toolkit drops because no request waits for them.
        if (QIODevice *port = m_modbus->device()) {
            QObject::connect(port, &QIODevice::readyRead, this, &ModbusClient::noteLineActivity);
        }
        m_connected = true;
        m_lastError.clear();
        m_lastReason.clear();
        m_lossReason.clear();
        m_portName = portName;
        m_portWatcher->watch(m_modbus, portName);
        m_mutex.unlock();
        emit connected();
        return true;
    }

    m_lastReason = m_modbus->errorString();
    m_lastError = tr("Connection failed: %1").arg(m_lastReason);
    delete std::exchange(m_modbus, nullptr);
    m_mutex.unlock();
    return false;
}

void ModbusClient::disconnect()
{
    // The toolkit client is destroyed outside the lock: destroying it finishes
    // every reply still queued, which wakes the callers waiting on them.
    m_mutex.lock();
    QModbusRtuSerialClient *modbus = std::exchange(m_modbus, nullptr);
    const bool wasConnected = std::exchange(m_connected, false);
    m_mutex.unlock();
    m_portWatcher->stop();

    if (modbus) {
        modbus->disconnectDevice();
        delete modbus;
    }
    if (wasConnected)
        emit disconnected();
}

void ModbusClient::setSlaveAddress(int address)
{
    QMutexLocker lock(&m_mutex);
    m_slaveAddress = address;
}

void ModbusClient::losePort(const QString &reason)
{
    if (!m_connected)
        return;
    m_lossReason = tr("Port lost: %1").arg(reason);
    // Disconnecting finishes every reply the toolkit still holds and wakes their callers,
    // which then fail with the loss; later requests fail at once as not connected.
    disconnect();
    emit portLost(reason);
}

void ModbusClient::fail(const QString &error, ModbusExchange::Result kind, quint8 exceptionCode)
{
    if (!m_records.isEmpty()) {
        m_records.last()->result = kind;
        m_records.last()->exceptionCode = exceptionCode;
    }
    m_lastError = error;
    m_lastReason = error;
    m_lastRefused = kind == ModbusExchange::Result::Exception;
    ++m_failureCount;
    emit errorOccurred(error);
}

void ModbusClient::failDisconnected()
{
    if (m_lossReason.isEmpty())
        fail(tr("Not connected"), ModbusExchange::Result::NotConnected);
    else
        fail(m_lossReason, ModbusExchange::Result::PortLost);
}

void ModbusClient::refuseReply()
{
    fail(tr("Invalid reply"), ModbusExchange::Result::InvalidReply);
    // The answer to this request may still be on its way, and would be taken for the
    // next one: the line has to go quiet first.
    m_quietNeededMs = qMax(m_quietNeededMs, m_timeout);
    noteLineActivity();
}

void ModbusClient::noteLineActivity()
{
    m_lastActivityMs = m_clock.elapsed();
}

bool ModbusClient::lineSettling() const
{
    for (const Abandoned &entry : m_abandoned) {
        if (entry.reply && !entry.reply->isFinished() && m_clock.elapsed() < entry.deadlineMs)
            return true;
    }
    return m_quietNeededMs > 0 && m_clock.elapsed() - m_lastActivityMs < m_quietNeededMs;
}

bool ModbusClient::isBusy() const
{
    return m_pendingWaits > 0 || (m_connected && lineSettling());
}

bool ModbusClient::runWait(QEventLoop &loop, int timeoutMs)
{
    // This client may even be destroyed by code that runs in the nested loop.
    const QPointer<ModbusClient> self(this);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    ++m_pendingWaits;
    loop.exec();
    if (!self)
        return false;
    if (--m_pendingWaits == 0)
        emit waitsFinished();
    return true;
}

bool ModbusClient::waitForQuietLine()
{
    const qint64 giveUpAt = m_clock.elapsed() + MaxSettleMs;
    while (lineSettling()) {
        if (m_clock.elapsed() >= giveUpAt) {
            fail(tr("Timeout"), ModbusExchange::Result::Timeout);
            return false;
        }
        QEventLoop loop;
        QObject::connect(this, &ModbusClient::disconnected, &loop, &QEventLoop::quit);
        qint64 waitMs = m_quietNeededMs - (m_clock.elapsed() - m_lastActivityMs);
        for (const Abandoned &entry : std::as_const(m_abandoned)) {
            if (entry.reply && !entry.reply->isFinished()) {
                QObject::connect(entry.reply, &QModbusReply::finished, &loop, &QEventLoop::quit);
                waitMs = qMax(waitMs, entry.deadlineMs - m_clock.elapsed());
            }
        }
        if (!runWait(loop, int(qBound<qint64>(1, waitMs, qint64(MaxSettleMs)))))
            return false;
        if (!m_connected) {
            failDisconnected();
            return false;
        }
    }
    m_abandoned.clear();
    m_quietNeededMs = 0;
    return true;
}

QString ModbusClient::exceptionText(int code) const
{
    const QString name = ExchangeFormatter::exceptionName(code);
    //: %1 is the exception code the device sent, %2 its name
    return tr("Modbus exception %1 (%2)").arg(code).arg(name);
}

bool ModbusClient::waitForReply(QModbusReply *reply)
{
    if (!reply) {
        fail(tr("Invalid reply"), ModbusExchange::Result::InvalidReply);
        return false;
    }

    // The reply dies with the toolkit client when disconnect() runs during the wait.
    QPointer<QModbusReply> guard(reply);
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QModbusReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
        if (!runWait(loop, m_timeout + GuardMarginMs))
            return false;
    }

    if (!guard) {
        failDisconnected();
        return false;
    }
    if (!reply->isFinished()) {
        // The toolkit still holds the reply and would crash on a late response if
        // it were deleted now: release it only once the toolkit is done with it. Until
        // then, and for a while after, the device may still answer it; the next
        // request waits for that (see waitForQuietLine()).
        QObject::connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
        QObject::connect(reply, &QModbusReply::finished, this, &ModbusClient::noteLineActivity);
        m_abandoned.append({reply, m_clock.elapsed() + 2 * m_timeout});
        m_quietNeededMs = qMax(m_quietNeededMs, m_timeout);
        noteLineActivity();
        fail(tr("Timeout"), ModbusExchange::Result::Timeout);
        return false;
    }
    ModbusExchange outcome;
    outcome.takeOutcome(*reply, !m_lossReason.isEmpty());
    if (outcome.ok())
        return true;
    const quint8 code = outcome.exceptionCode;
    if (outcome.result == ModbusExchange::Result::Exception)
        fail(exceptionText(code), outcome.result, code);
    else if (outcome.result == ModbusExchange::Result::PortLost)
        fail(m_lossReason, outcome.result);
    else
        fail(reply->errorString(), outcome.result);
    reply->deleteLater();
    return false;
}

bool ModbusClient::transact(const QModbusDataUnit &unit, bool isWrite, QModbusDataUnit *result,
                            AnswerCheck check)
{
    ModbusExchange record;
    record.sent = QDateTime::currentDateTime();
    record.node = m_slaveAddress;
    record.functionCode = functionCode(unit.registerType(), isWrite, unit.valueCount());
    record.start = quint16(unit.startAddress());
    record.count = quint16(unit.valueCount());
    if (isWrite)
        record.written = unit.values();

    const QPointer<ModbusClient> self(this);
    m_records.append(&record);
    const bool ok = exchange(unit, isWrite, result, check, record);
    if (!self)
        return false;
    m_records.removeOne(&record);
    if (ok && !isWrite)
        record.read = result->values().mid(0, record.count);
    emit exchangeFinished(record);
    return ok;
}

bool ModbusClient::exchange(const QModbusDataUnit &unit, bool isWrite, QModbusDataUnit *result,
                            AnswerCheck check, ModbusExchange &record)
{
    // Failures are raised outside the lock: listeners of errorOccurred may call in.
    auto refusal = ModbusExchange::Result::Ok;
    {
        QMutexLocker lock(&m_mutex);
        const qsizetype count = unit.valueCount();
        if (!m_connected || !m_modbus)
            refusal = ModbusExchange::Result::NotConnected;
        else if (count == 0 || count > maxCount(unit.registerType(), isWrite))
            refusal = ModbusExchange::Result::InvalidReply;
    }
    if (refusal != ModbusExchange::Result::Ok) {
        const bool offline = refusal == ModbusExchange::Result::NotConnected;
        fail(offline ? tr("Not connected") : tr("Invalid reply"), refusal);
        return false;
    }
    if (!waitForQuietLine())
        return false;

    // The connection may have changed hands while the line settled.
    QModbusReply *reply = nullptr;
    record.sent = QDateTime::currentDateTime();
    QElapsedTimer replyTime;
    replyTime.start();
    {
        QMutexLocker lock(&m_mutex);
        if (m_modbus) {
            reply = isWrite ? m_modbus->sendWriteRequest(unit, m_slaveAddress)
                            : m_modbus->sendReadRequest(unit, m_slaveAddress);
        }
    }
    if (!m_connected) {
        failDisconnected();
        return false;
    }

    // The reply time ends when the reply is in, not when this wait returns: a modal
    // dialog opened from a nested wait keeps the wait from returning.
    qint64 finishedNs = -1;
    QObject scope; // ends the connection with this call; the reply may live on
    if (reply) {
        QObject::connect(reply, &QModbusReply::finished, &scope,
                         [&finishedNs, &replyTime] { finishedNs = replyTime.nsecsElapsed(); });
    }
    const QPointer<ModbusClient> self(this);
    const bool answered = waitForReply(reply);
    if (!self)
        return false;
    record.replyMs = double(finishedNs >= 0 ? finishedNs : replyTime.nsecsElapsed()) / 1e6;
    if (!answered)
        return false;

    *result = reply->result();
    reply->deleteLater();
    if (!check(unit, *result)) {
        refuseReply();
        return false;
    }
    return true;
}

bool ModbusClient::readWords(int registerType, quint16 start, quint16 count,
                             QList<quint16> &values)
{
    const auto type = QModbusDataUnit::RegisterType(registerType);
    QModbusDataUnit answer;
    if (!transact(QModbusDataUnit(type, start, count), false, &answer, sameCount))
        return false;
    values = answer.values();
    return true;
}

bool ModbusClient::readBits(int registerType, quint16 start, quint16 count, QList<bool> &values)
{
    const auto type = QModbusDataUnit::RegisterType(registerType);
    QModbusDataUnit answer;
    if (!transact(QModbusDataUnit(type, start, count), false, &answer, paddedBits))
        return false;
    QList<bool> bits;
    bits.reserve(count);
    for (quint16 i = 0; i < count; ++i)
        bits.append(answer.value(i) != 0);
    values = bits;
    return true;
}

bool ModbusClient::write(const QModbusDataUnit &unit)
{
    QModbusDataUnit answer;
    return transact(unit, true, &answer, echoed);
}

bool ModbusClient::readCoils(quint16 start, quint16 count, QList<bool> &values)
{
    return readBits(QModbusDataUnit::Coils, start, count, values);
}

bool ModbusClient::readDiscreteInputs(quint16 start, quint16 count, QList<bool> &values)
{
    return readBits(QModbusDataUnit::DiscreteInputs, start, count, values);
}

bool ModbusClient::readHoldingRegisters(quint16 start, quint16 count, QList<quint16> &values)
{
    return readWords(QModbusDataUnit::HoldingRegisters, start, count, values);
}

bool ModbusClient::readInputRegisters(quint16 start, quint16 count, QList<quint16> &values)
{
    return readWords(QModbusDataUnit::InputRegisters, start, count, values);
}

bool ModbusClient::readHoldingRegister(quint16 address, quint16 &value)
{
    QList<quint16> values;
    if (!readHoldingRegisters(address, 1, values))
        return false;
    value = values.first();
    return true;
}

bool ModbusClient::readInputRegister(quint16 address, quint16 &value)
{
    QList<quint16> values;
    if (!readInputRegisters(address, 1, values))
        return false;
    value = values.first();
    return true;
}

bool ModbusClient::readSignature(quint16 &signature)
{
    return readInputRegister(0, signature);
}

bool ModbusClient::readVersion(quint16 &major, quint16 &minor)
{
    QList<quint16> values;
    if (!readInputRegisters(1, 2, values))
        return false;
    major = values.at(0);
    minor = values.at(1);
    return true;
}

bool ModbusClient::writeSingleCoil(quint16 address, bool value)
{
    return write(
        QModbusDataUnit(QModbusDataUnit::Coils, address, QList<quint16>{quint16(value ? 1 : 0)}));
}

bool ModbusClient::writeCoils(quint16 start, const QList<bool> &values)
{
    QList<quint16> bits;
    bits.reserve(values.size());
    for (bool value : values)
        bits.append(value ? 1 : 0);
    return write(QModbusDataUnit(QModbusDataUnit::Coils, start, bits));
}

bool ModbusClient::writeRegister(quint16 address, quint16 value)
{
    return write(
        QModbusDataUnit(QModbusDataUnit::HoldingRegisters, address, QList<quint16>{value}));
}

bool ModbusClient::writeRegisters(quint16 start, const QList<quint16> &values)
{
    return write(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, values));
}
