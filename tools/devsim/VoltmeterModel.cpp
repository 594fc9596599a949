#include "VoltmeterModel.h"

#include "DeviceSimulator.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>

#include <cmath>

namespace {

constexpr quint16 Signature = 24;
constexpr quint16 FirmwareMajor = 2;
constexpr quint16 FirmwareMinor = 1;

constexpr int TypeRegister = 0;
constexpr int RampRegister = 4;
constexpr int MultiplierRegister = 12;
constexpr int SampleRateRegister = 16;
constexpr int AddressRegister = 17;
constexpr int BaudIndexRegister = 18;
constexpr int ParityRegister = 19;
constexpr int SaveRegister = 20;

constexpr int BuildTimeHighRegister = 3;
constexpr int BuildTimeLowRegister = 4;
constexpr int ReadingsRegister = 8;
constexpr int LastInputRegister = 15;

constexpr int ConfigurableCount = 4;
constexpr int InputCount = 8;
constexpr quint16 SensorError = 0xD8F0;
constexpr int FaultyInput = 3; // input 4
constexpr int LiveIntervalMs = 300;
constexpr int FaultPeriodTicks = 60; // about every 18 s ...
constexpr int FaultLengthTicks = 10; // ... for 3 s

bool within(int start, int count, int first, int last)
{
    return start >= first && start + count - 1 <= last;
}

double noise(double amplitude)
{
    return (QRandomGenerator::global()->generateDouble() * 2 - 1) * amplitude;
}

} // namespace

VoltmeterModel::VoltmeterModel(QObject *parent)
    : DeviceModel(parent)
    , m_liveTimer(new QTimer(this))
{
    m_liveTimer->setInterval(LiveIntervalMs);
    connect(m_liveTimer, &QTimer::timeout, this, &VoltmeterModel::updateReadings);
}

QString VoltmeterModel::name() const
{
    return QStringLiteral("volt");
}

quint16 VoltmeterModel::signature() const
{
    return Signature;
}

void VoltmeterModel::setLiveValues(bool on)
{
    m_live = on;
    if (on && simulator())
        m_liveTimer->start();
    else
        m_liveTimer->stop();
}

void VoltmeterModel::configure(DeviceSimulator *simulator)
{
    simulator->setIdentity(Signature, FirmwareMajor, FirmwareMinor);
    simulator->setRegisterCounts(0, 0, SaveRegister + 1, LastInputRegister + 1);
    simulator->setSaveRegister(SaveRegister);
    // Factory settings: one input of each kind, node 1, 9600 baud, no parity, 8 SPS.
    const quint16 types[ConfigurableCount] = {1, 2, 3, 4};
    const quint16 multipliers[ConfigurableCount] = {10, 1000, 10, 10};
    for (int i = 0; i < ConfigurableCount; ++i) {
        simulator->setHoldingRegister(TypeRegister + i, types[i]);
        simulator->setHoldingRegister(MultiplierRegister + i, multipliers[i]);
    }
    for (int i = 0; i < InputCount; ++i)
        simulator->setHoldingRegister(RampRegister + i, 500);
    simulator->setHoldingRegister(SampleRateRegister, 8);
    simulator->setHoldingRegister(AddressRegister, 1);
    simulator->setHoldingRegister(BaudIndexRegister, 2);
    simulator->setInputRegister(BuildTimeHighRegister, quint16(BuildTime >> 16));
    simulator->setInputRegister(BuildTimeLowRegister, quint16(BuildTime & 0xFFFF));
    updateReadings();
    if (m_live)
        m_liveTimer->start();
}

QList<DeviceModel::StoredRegister> VoltmeterModel::storedRegisters() const
{
    static const char *const keys[SaveRegister] = {
        "type1",       "type2",      "type3",       "type4",       "ramp1",
        "ramp2",       "ramp3",      "ramp4",       "ramp5",       "ramp6",
        "ramp7",       "ramp8",      "multiplier1", "multiplier2", "multiplier3",
        "multiplier4", "sampleRate", "address",     "baudIndex",   "parity"};
    QList<StoredRegister> stored;
    for (int i = 0; i < SaveRegister; ++i)
        stored.append({quint16(i), keys[i]});
    return stored;
}

DeviceModel::SettingsRegisters VoltmeterModel::settingsRegisters() const
{
    return {AddressRegister, BaudIndexRegister, ParityRegister};
}

bool VoltmeterModel::hasAddresses(QModbusDataUnit::RegisterType table, int start, int count) const
{
    switch (table) {
    case QModbusDataUnit::HoldingRegisters:
        return within(start, count, 0, SaveRegister);
    case QModbusDataUnit::InputRegisters:
        return within(start, count, 0, LastInputRegister);
    default:
        return false;
    }
}

void VoltmeterModel::holdingRegistersWritten(int start, int count)
{
    if (start >= SaveRegister)
        return;
    const DeviceSimulator *device = simulator();
    QStringList types, multipliers, ramps;
    for (int i = 0; i < ConfigurableCount; ++i) {
        types << QString::number(device->holdingRegister(TypeRegister + i));
        multipliers << QString::number(device->holdingRegister(MultiplierRegister + i));
    }
    for (int i = 0; i < InputCount; ++i)
        ramps << QString::number(device->holdingRegister(RampRegister + i));
    emit report(
        QStringLiteral("configuration changed (write to registers %1-%2): types %3, multipliers"
                       " %4, ramps %5, %6 SPS, node %7, baud index %8, parity %9")
            .arg(start)
            .arg(start + count - 1)
            .arg(types.join(QLatin1Char(',')), multipliers.join(QLatin1Char(',')),
                 ramps.join(QLatin1Char(',')))
            .arg(device->holdingRegister(SampleRateRegister))
            .arg(device->holdingRegister(AddressRegister))
            .arg(device->holdingRegister(BaudIndexRegister))
            .arg(device->holdingRegister(ParityRegister)));
    updateReadings(); // a new type or multiplier shows at once
}

quint16 VoltmeterModel::scaledReading(int index, double temperature, double current) const
{
    const quint16 type = simulator()->holdingRegister(TypeRegister + index);
    if (type == 0 || type > 4)
        return 0; // a disabled input measures nothing
    const quint16 multiplier = simulator()->holdingRegister(MultiplierRegister + index);
    const double value = (type == 2 ? current : temperature) * (multiplier ? multiplier : 1);
    return quint16(qint16(qBound(-32768.0, std::round(value), 32767.0)));
}

void VoltmeterModel::updateReadings()
{
    DeviceSimulator *device = simulator();
    if (!device)
        return;
    ++m_tick;
    const double phase = m_tick * 0.05;
    const double temperatures[ConfigurableCount] = {
        21.5 + 2 * std::sin(phase), 35 + std::sin(phase * 1.3), 60 + 5 * std::sin(phase * 0.7),
        -5 + 3 * std::cos(phase * 0.5)};
    const double current = 12 + 6 * std::sin(phase * 0.9);
    for (int i = 0; i < ConfigurableCount; ++i) {
        device->setInputRegister(
            ReadingsRegister + i,
            scaledReading(i, temperatures[i] + noise(0.1), current + noise(0.01)));
    }

    const bool fault = m_tick % FaultPeriodTicks >= FaultPeriodTicks - FaultLengthTicks;
    if (fault != m_sensorFault) {
        m_sensorFault = fault;
        emit report(fault ? QStringLiteral("input %1: sensor fault (0xD8F0)").arg(FaultyInput + 1)
                          : QStringLiteral("input %1: sensor back").arg(FaultyInput + 1));
    }
    if (fault && device->holdingRegister(TypeRegister + FaultyInput) != 0)
        device->setInputRegister(ReadingsRegister + FaultyInput, SensorError);

    // Supply rails and a sagging battery, in millivolts.
    const double voltages[InputCount - ConfigurableCount] = {24000 + noise(60), 12000 + noise(30),
                                                             5000 + noise(10),
                                                             3700 - 200 * std::sin(phase * 0.3)};
    for (int i = 0; i < InputCount - ConfigurableCount; ++i)
        device->setInputRegister(ReadingsRegister + ConfigurableCount + i,
                                 quint16(std::lround(voltages[i])));
}
