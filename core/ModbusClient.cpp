#include "ModbusClient.h"

#include <QEventLoop>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QMutexLocker>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>
#include <QVariant>

#include <iterator>
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

} // namespace

ModbusClient::ModbusClient(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
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

void ModbusClient::fail(const QString &error, bool refused)
{
    m_lastError = error;
    m_lastReason = error;
    m_lastRefused = refused;
    ++m_failureCount;
    emit errorOccurred(error);
}

void ModbusClient::refuseReply()
{
    fail(tr("Invalid reply"));
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
            fail(tr("Timeout"));
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
            fail(tr("Not connected"));
            return false;
        }
    }
    m_abandoned.clear();
    m_quietNeededMs = 0;
    return true;
}

QString ModbusClient::replyErrorText(const QModbusReply *reply) const
{
    // The toolkit ends a reply with ProtocolError only for an exception response. Its
    // code is read from the data: the response's own accessors load a function code
    // that the toolkit stored sign-extended, which is undefined behaviour.
    const QByteArray data = reply->rawResult().data();
    if (reply->error() != QModbusDevice::ProtocolError || data.isEmpty())
        return reply->errorString();

    // The names the Modbus application protocol gives the exception codes.
    static const char *const names[] = {
        nullptr,
        QT_TR_NOOP("illegal function"),
        QT_TR_NOOP("illegal data address"),
        QT_TR_NOOP("illegal data value"),
        QT_TR_NOOP("server device failure"),
        QT_TR_NOOP("acknowledge"),
        QT_TR_NOOP("server device busy"),
        nullptr,
        QT_TR_NOOP("memory parity error"),
        nullptr,
        QT_TR_NOOP("gateway path unavailable"),
        QT_TR_NOOP("gateway target device failed to respond"),
    };
    const int code = quint8(data.at(0));
    const bool named = code >= 0 && code < int(std::size(names)) && names[code];
    const QString name = named ? tr(names[code]) : tr("unknown exception");
    //: %1 is the exception code the device sent, %2 its name
    return tr("Modbus exception %1 (%2)").arg(code).arg(name);
}

bool ModbusClient::waitForReply(QModbusReply *reply)
{
    if (!reply) {
        fail(tr("Invalid reply"));
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
        fail(tr("Not connected"));
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
        fail(tr("Timeout"));
        return false;
    }
    if (reply->error() != QModbusDevice::NoError) {
        fail(replyErrorText(reply), reply->error() == QModbusDevice::ProtocolError);
        reply->deleteLater();
        return false;
    }
    return true;
}

bool ModbusClient::transact(const QModbusDataUnit &unit, bool isWrite, QModbusDataUnit *result)
{
    // Failures are raised outside the lock: listeners of errorOccurred may call in.
    QString error;
    {
        QMutexLocker lock(&m_mutex);
        const qsizetype count = unit.valueCount();
        if (!m_connected || !m_modbus)
            error = tr("Not connected");
        else if (count == 0 || count > maxCount(unit.registerType(), isWrite))
            error = tr("Invalid reply");
    }
    if (!error.isEmpty()) {
        fail(error);
        return false;
    }
    if (!waitForQuietLine())
        return false;

    // The connection may have changed hands while the line settled.
    QModbusReply *reply = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        if (m_modbus) {
            reply = isWrite ? m_modbus->sendWriteRequest(unit, m_slaveAddress)
                            : m_modbus->sendReadRequest(unit, m_slaveAddress);
        }
    }
    if (!m_connected) {
        fail(tr("Not connected"));
        return false;
    }

    if (!waitForReply(reply))
        return false;

    *result = reply->result();
    reply->deleteLater();
    return true;
}

bool ModbusClient::readWords(int registerType, quint16 start, quint16 count,
                             QList<quint16> &values)
{
    const auto type = QModbusDataUnit::RegisterType(registerType);
    QModbusDataUnit answer;
    if (!transact(QModbusDataUnit(type, start, count), false, &answer))
        return false;

    // A device never answers with another count: such a reply is a late answer to
    // an earlier request or a broken device, and its values must not be taken.
    if (answer.valueCount() != count) {
        refuseReply();
        return false;
    }
    values = answer.values();
    return true;
}

bool ModbusClient::readBits(int registerType, quint16 start, quint16 count, QList<bool> &values)
{
    const auto type = QModbusDataUnit::RegisterType(registerType);
    QModbusDataUnit answer;
    if (!transact(QModbusDataUnit(type, start, count), false, &answer))
        return false;

    // Bits arrive padded to whole bytes, so up to seven values more than asked for
    // are normal; a whole byte more is a reply to some other request.
    if (answer.valueCount() < count || answer.valueCount() >= count + 8) {
        refuseReply();
        return false;
    }
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
    if (!transact(unit, true, &answer))
        return false;

    // The toolkit matches replies by function code only; the echoed address and
    // count, and for a single write its value, tell a late reply to an earlier write
    // from the answer to this one.
    bool echoed =
        answer.startAddress() == unit.startAddress() && answer.valueCount() == unit.valueCount();
    if (echoed && unit.valueCount() == 1) {
        // A single coil comes back as 0xFF00 or 0x0000, a register as itself.
        const quint16 sent = unit.value(0);
        const quint16 back = answer.value(0);
        echoed = unit.registerType() == QModbusDataUnit::Coils ? (back != 0) == (sent != 0)
                                                               : back == sent;
    }
    if (!echoed) {
        refuseReply();
        return false;
    }
    return true;
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
