#include "AnalogModuleModel.h"

#include "DeviceSimulator.h"

#include <QRandomGenerator>
#include <QTimer>

#include <cmath>

namespace {

constexpr quint16 Signature = 2;
constexpr quint16 FirmwareMajor = 2;
constexpr quint16 FirmwareMinor = 1;

constexpr int ChannelCount = 8;
constexpr int TypeRegister = 0;
constexpr int RampRegister = 8;
constexpr int MultiplierRegister = 16;
constexpr int SpsRegister = 24;
constexpr int AddressRegister = 25;
constexpr int BaudIndexRegister = 26;
constexpr int ParityRegister = 27;
constexpr int SaveRegister = 28;
constexpr int MeasuredRegister = 8;
constexpr int InputCount = MeasuredRegister + ChannelCount;

constexpr int StepMs = 300;
constexpr int HealthyTicksMin = 60; // about 20 s between sensor faults at least
constexpr int FaultTicks = 10; // a faulty sensor stays so for 3 s

// Factory set-up: a few thermometers, two current loops, one spare input.
constexpr quint16 FactoryTypes[ChannelCount] = {1, 1, 1, 3, 2, 2, 1, 0};
// The state file's names of the stored registers, in register order 0 to 27.
constexpr const char *StoredKeys[] = {
    "type1",       "type2",       "type3",       "type4",       "type5",       "type6",
    "type7",       "type8",       "ramp1",       "ramp2",       "ramp3",       "ramp4",
    "ramp5",       "ramp6",       "ramp7",       "ramp8",       "multiplier1", "multiplier2",
    "multiplier3", "multiplier4", "multiplier5", "multiplier6", "multiplier7", "multiplier8",
    "sps",         "address",     "baudIndex",   "parity",
};
static_assert(std::size(StoredKeys) == SaveRegister);

bool within(int start, int count, int first, int last)
{
    return start >= first && start + count - 1 <= last;
}

bool isTemperature(quint16 type)
{
    return type == 1 || type == 3;
}

} // namespace

AnalogModuleModel::AnalogModuleModel(QObject *parent)
    : DeviceModel(parent)
    , m_timer(new QTimer(this))
{
    for (int ch = 0; ch < ChannelCount; ++ch)
        m_physical.append(isTemperature(FactoryTypes[ch]) ? 20.0 + 1.5 * ch : 8.0 + ch);
    m_faultTicks = HealthyTicksMin / 3;
    connect(m_timer, &QTimer::timeout, this, &AnalogModuleModel::step);
}

AnalogModuleModel::~AnalogModuleModel() = default;

QString AnalogModuleModel::name() const
{
    return QStringLiteral("ai8");
}

quint16 AnalogModuleModel::signature() const
{
    return Signature;
}

void AnalogModuleModel::setLive(bool on)
{
    if (on)
        m_timer->start(StepMs);
    else
        m_timer->stop();
}

QString AnalogModuleModel::typeName(quint16 type)
{
    switch (type) {
    case 0:
        return QStringLiteral("disabled");
    case 1:
        return QStringLiteral("Pt100 0.00385");
    case 2:
        return QStringLiteral("0-20 mA");
    case 3:
        return QStringLiteral("100P 0.00391");
    default:
        return QStringLiteral("unknown type %1").arg(type);
    }
}

void AnalogModuleModel::configure(DeviceSimulator *simulator)
{
    simulator->setIdentity(Signature, FirmwareMajor, FirmwareMinor);
    simulator->setRegisterCounts(0, 0, SaveRegister + 1, InputCount);
    simulator->setSaveRegister(SaveRegister);
    for (int ch = 0; ch < ChannelCount; ++ch) {
        simulator->setHoldingRegister(TypeRegister + ch, FactoryTypes[ch]);
        simulator->setHoldingRegister(RampRegister + ch, 500);
        simulator->setHoldingRegister(MultiplierRegister + ch, FactoryTypes[ch] == 2 ? 100 : 10);
    }
    simulator->setHoldingRegister(SpsRegister, 16);
    // Factory serial settings: node 1, 9600 baud, no parity.
    simulator->setHoldingRegister(AddressRegister, 1);
    simulator->setHoldingRegister(BaudIndexRegister, 2);
    step();
    m_timer->start(StepMs);
}

QList<DeviceModel::StoredRegister> AnalogModuleModel::storedRegisters() const
{
    QList<StoredRegister> stored;
    for (int i = 0; i < SaveRegister; ++i)
        stored.append({quint16(i), StoredKeys[i]});
    return stored;
}

DeviceModel::SettingsRegisters AnalogModuleModel::settingsRegisters() const
{
    return {AddressRegister, BaudIndexRegister, ParityRegister};
}

bool AnalogModuleModel::hasAddresses(QModbusDataUnit::RegisterType table, int start,
                                     int count) const
{
    switch (table) {
    case QModbusDataUnit::HoldingRegisters:
        return within(start, count, 0, SaveRegister);
    case QModbusDataUnit::InputRegisters:
        return within(start, count, 0, InputCount - 1);
    default:
        return false;
    }
}

void AnalogModuleModel::holdingRegistersWritten(int start, int count)
{
    DeviceSimulator *device = simulator();
    if (count > 1) {
        emit report(QStringLiteral("configuration: registers %1 to %2 written")
                        .arg(start)
                        .arg(start + count - 1));
        return;
    }
    const quint16 value = device->holdingRegister(start);
    const int ch = start % ChannelCount + 1;
    if (start < RampRegister) {
        emit report(QStringLiteral("CH %1: sensor type %2").arg(ch).arg(typeName(value)));
        // A new sensor on the input starts from a plausible reading.
        m_physical[start] = isTemperature(value) ? 21.0 : 12.0;
    } else if (start < MultiplierRegister) {
        emit report(QStringLiteral("CH %1: ramp %2 ms").arg(ch).arg(value));
    } else if (start < SpsRegister) {
        emit report(QStringLiteral("CH %1: multiplier %2").arg(ch).arg(value));
    } else if (start == SpsRegister) {
        static const QList<int> rates = {8, 16, 32, 64, 128, 250, 475, 860};
        emit report(
            rates.contains(value)
                ? QStringLiteral("sample rate: %1 per second").arg(value)
                : QStringLiteral("sample rate: %1 is not a rate the module has").arg(value));
    }
}

void AnalogModuleModel::step()
{
    DeviceSimulator *device = simulator();
    if (!device)
        return;
    QRandomGenerator *random = QRandomGenerator::global();

    // Now and then one sensor fails (a broken wire) and comes back a few seconds later.
    if (--m_faultTicks <= 0) {
        if (m_faultyChannel >= 0) {
            emit report(QStringLiteral("CH %1: sensor back").arg(m_faultyChannel + 1));
            m_faultyChannel = -1;
            m_faultTicks = HealthyTicksMin + int(random->bounded(HealthyTicksMin));
        } else {
            m_faultyChannel = int(random->bounded(ChannelCount));
            m_faultTicks = FaultTicks;
            emit report(
                QStringLiteral("CH %1: sensor fault, reading 0xD8F0").arg(m_faultyChannel + 1));
        }
    }

    for (int ch = 0; ch < ChannelCount; ++ch) {
        const quint16 type = device->holdingRegister(TypeRegister + ch);
        double &physical = m_physical[ch];
        qint16 raw = 0;
        if (type >= 1 && type <= 3) {
            // A slow random walk, pulled back towards a level that suits the sensor.
            const bool temperature = isTemperature(type);
            const double level = temperature ? 22.0 + 2.0 * ch : 12.0;
            const double spread = temperature ? 0.15 : 0.05;
            physical += (random->generateDouble() * 2 - 1) * spread + (level - physical) * 0.02;
            physical = temperature ? qBound(-50.0, physical, 200.0) : qBound(4.0, physical, 20.0);
            const int multiplier = qMax<int>(1, device->holdingRegister(MultiplierRegister + ch));
            raw = qint16(qBound(-32767.0, std::round(physical * multiplier), 32767.0));
        }
        device->setInputRegister(MeasuredRegister + ch,
                                 ch == m_faultyChannel && type != 0 ? SensorError : quint16(raw));
    }
}
