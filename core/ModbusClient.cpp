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

#include <utility>

namespace {

// The guard gives the toolkit's first attempt its 500 ms and a little more for the retry.
constexpr int GuardMarginMs = 200;

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
    m_modbus->setConnectionParameter(QModbusDevice::SerialParityParameter,
                                     toSerialParity(parity));
    m_modbus->setTimeout(m_timeout);
    m_modbus->setNumberOfRetries(1);
    m_slaveAddress = slaveAddress;

    if (m_modbus->connectDevice()) {
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

void ModbusClient::fail(const QString &error)
{
    m_lastError = error;
    m_lastReason = error;
    ++m_failureCount;
}

bool ModbusClient::waitForReply(QModbusReply *reply)
{
    if (!reply) {
        fail(tr("Invalid reply"));
        return false;
    }

    // The reply dies with the toolkit client when disconnect() runs during the wait;
    // this client may even be destroyed by code that runs in the nested loop.
    QPointer<QModbusReply> guard(reply);
    const QPointer<ModbusClient> self(this);
    if (!reply->isFinished()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(reply, &QModbusReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(m_timeout + GuardMarginMs);
        ++m_pendingWaits;
        loop.exec();
        if (!self)
            return false;
        if (--m_pendingWaits == 0)
            emit waitsFinished();
    }

    if (!guard) {
        fail(tr("Not connected"));
        return false;
    }
    if (!reply->isFinished()) {
        // The toolkit still holds the reply and would crash on a late response if
        // it were deleted now: release it only once the toolkit is done with it.
        QObject::connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
        fail(tr("Timeout"));
        return false;
    }
    if (reply->error() != QModbusDevice::NoError) {
        fail(reply->errorString());
        reply->deleteLater();
        return false;
    }
    return true;
}

bool ModbusClient::transact(const QModbusDataUnit &unit, bool isWrite, QModbusDataUnit *result)
{
    QModbusReply *reply = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_connected || !m_modbus) {
            fail(tr("Not connected"));
            return false;
        }
        const qsizetype count = unit.valueCount();
        if (count == 0 || count > maxCount(unit.registerType(), isWrite)) {
            fail(tr("Invalid reply"));
            return false;
        }
        reply = isWrite ? m_modbus->sendWriteRequest(unit, m_slaveAddress)
                        : m_modbus->sendReadRequest(unit, m_slaveAddress);
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
        fail(tr("Invalid reply"));
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
        fail(tr("Invalid reply"));
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
    // count tell a late reply to an earlier write from the answer to this one.
    if (answer.startAddress() != unit.startAddress()
        || answer.valueCount() != unit.valueCount()) {
        fail(tr("Invalid reply"));
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
    return write(QModbusDataUnit(QModbusDataUnit::Coils, address, QList<quint16>{quint16(value ? 1 : 0)}));
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
    return write(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, address, QList<quint16>{value}));
}

bool ModbusClient::writeRegisters(quint16 start, const QList<quint16> &values)
{
    return write(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, values));
}
