#include "LedIndicatorModel.h"

#include "DeviceSimulator.h"

#include <QByteArray>
#include <QTimer>

#include <cmath>

namespace {

constexpr quint16 Signature = 9;
constexpr quint16 FirmwareMajor = 2;
constexpr quint16 FirmwareMinor = 1;

constexpr int SamplesRegister = 0;
constexpr int AddressRegister = 1;
constexpr int BaudIndexRegister = 2;
constexpr int ParityRegister = 3;
constexpr int SaveRegister = 4;
constexpr int FirstTypeRegister = 5;
constexpr int FirstSetupRegister = 11; // ramps to decimals
constexpr int LastSetupRegister = 38;
constexpr int StringRegister = 39;
constexpr int StringLength = 9;
constexpr int HoldingCount = StringRegister + StringLength;
constexpr int FirstValueRegister = 8; // input registers
constexpr int InputCount = 4;

constexpr int LiveIntervalMs = 300;
// The Pt1000 input loses its sensor for a few steps of every cycle.
constexpr int FaultInput = 3;
constexpr int FaultCycle = 60;
constexpr int FaultSteps = 5;

bool within(int start, int count, int first, int last)
{
    return start >= first && start + count - 1 <= last;
}

bool overlaps(int start, int count, int first, int last)
{
    return start <= last && start + count - 1 >= first;
}

// Names in the state file, one per stored register; built once, kept for the process.
const QList<QByteArray> &storedKeys()
{
    static const QList<QByteArray> keys = [] {
        QList<QByteArray> list = {"samples", "address", "baudIndex", "parity"};
        for (int n = 1; n <= InputCount; ++n)
            list.append("type" + QByteArray::number(n));
        for (int n = 1; n <= InputCount; ++n)
            list.append("ramp" + QByteArray::number(n));
        for (int n = 1; n <= InputCount; ++n) {
            list.append("beginMa" + QByteArray::number(n));
            list.append("scaleBegin" + QByteArray::number(n));
            list.append("scaleEnd" + QByteArray::number(n));
        }
        list.append({"modbusInput", "switchPeriod", "postfixPrefix"});
        for (int n = 1; n <= InputCount; ++n)
            list.append("symbol" + QByteArray::number(n));
        list.append("invertMatrix");
        for (int n = 1; n <= InputCount; ++n)
            list.append("decimals" + QByteArray::number(n));
        return list;
    }();
    return keys;
}

QList<int> storedAddresses()
{
    QList<int> addresses = {SamplesRegister, AddressRegister, BaudIndexRegister, ParityRegister};
    for (int n = 0; n < InputCount; ++n)
        addresses.append(FirstTypeRegister + n);
    for (int address = FirstSetupRegister; address <= LastSetupRegister; ++address)
        addresses.append(address);
    return addresses;
}

} // namespace

LedIndicatorModel::LedIndicatorModel(QObject *parent)
    : DeviceModel(parent)
    , m_liveTimer(new QTimer(this))
{
    m_liveTimer->setInterval(LiveIntervalMs);
    connect(m_liveTimer, &QTimer::timeout, this, &LedIndicatorModel::updateValues);
}

QString LedIndicatorModel::name() const
{
    return QStringLiteral("ind4");
}

quint16 LedIndicatorModel::signature() const
{
    return Signature;
}

void LedIndicatorModel::setLiveValues(bool on)
{
    if (!on)
        m_liveTimer->stop();
    else if (simulator())
        m_liveTimer->start();
}

QString LedIndicatorModel::decodeString(const QList<quint16> &registers)
{
    QString text;
    for (quint16 value : registers) {
        const quint8 code = quint8(value & 0xFF);
        if (code == 0)
            break;
        text.append(QChar(code));
    }
    return text;
}

void LedIndicatorModel::configure(DeviceSimulator *simulator)
{
    simulator->setIdentity(Signature, FirmwareMajor, FirmwareMinor);
    simulator->setRegisterCounts(0, 0, HoldingCount, FirstValueRegister + InputCount);
    simulator->setSaveRegister(SaveRegister);
    // Factory settings: node 1, 9600 8N1, 128 samples/s; inputs Pt100, 4-20 mA loop,
    // disabled, Pt1000 with the symbols "C", "A", " ", "C"; scale 0 to 1000 from 4 mA,
    // one decimal; switch period 1000 ms.
    simulator->setHoldingRegister(SamplesRegister, 128);
    simulator->setHoldingRegister(AddressRegister, 1);
    simulator->setHoldingRegister(BaudIndexRegister, 2);
    const quint16 types[InputCount] = {1, 2, 0, 4};
    const char symbols[InputCount] = {'C', 'A', ' ', 'C'};
    for (int n = 1; n <= InputCount; ++n) {
        simulator->setHoldingRegister(FirstTypeRegister + n - 1, types[n - 1]);
        simulator->setHoldingRegister(12 + 3 * n, 4);
        simulator->setHoldingRegister(14 + 3 * n, 1000);
        simulator->setHoldingRegister(29 + n, quint16(symbols[n - 1]));
        simulator->setHoldingRegister(34 + n, 1);
    }
    simulator->setHoldingRegister(28, 1000);
    m_step = 0;
    m_faultReported = false;
    updateValues();
    m_liveTimer->start();
}

QList<DeviceModel::StoredRegister> LedIndicatorModel::storedRegisters() const
{
    const QList<int> addresses = storedAddresses();
    const QList<QByteArray> &keys = storedKeys();
    QList<StoredRegister> stored;
    for (int i = 0; i < addresses.size(); ++i)
        stored.append({quint16(addresses.at(i)), keys.at(i).constData()});
    return stored;
}

DeviceModel::SettingsRegisters LedIndicatorModel::settingsRegisters() const
{
    return {AddressRegister, BaudIndexRegister, ParityRegister};
}

bool LedIndicatorModel::hasAddresses(QModbusDataUnit::RegisterType table, int start,
                                     int count) const
{
    switch (table) {
    case QModbusDataUnit::HoldingRegisters:
        return within(start, count, 0, HoldingCount - 1);
    case QModbusDataUnit::InputRegisters:
        return within(start, count, 0, 2) // signature and firmware version
            || within(start, count, FirstValueRegister, FirstValueRegister + InputCount - 1);
    default:
        return false;
    }
}

void LedIndicatorModel::holdingRegistersWritten(int start, int count)
{
    if (overlaps(start, count, FirstTypeRegister, FirstTypeRegister + InputCount - 1)
        && m_liveTimer->isActive()) {
        updateValues(); // a new input type measures at once
    }
    if (!overlaps(start, count, StringRegister, HoldingCount - 1))
        return;
    QList<quint16> registers;
    for (int i = 0; i < StringLength; ++i)
        registers.append(simulator()->holdingRegister(StringRegister + i));
    const QString text = decodeString(registers);
    if (text == m_shownString)
        return;
    m_shownString = text;
    emit report(tr("display string: \"%1\"").arg(text));
}

quint16 LedIndicatorModel::measuredValue(int input, quint16 type) const
{
    const double phase = m_step * 0.07 + input * 1.3;
    switch (type) {
    case 1: // Pt100 and 100P: tenths of a degree, room temperature drifting
    case 3:
        return quint16(qint16(215 + input * 12 + std::lround(18 * std::sin(phase))));
    case 4: // Pt1000: a colder spot, around -5 degrees
        return quint16(qint16(-53 + std::lround(25 * std::sin(phase))));
    case 2: // the loop swings between 4 and 20 mA, in hundredths of a mA
        return quint16(1200 + std::lround(800 * std::sin(phase * 0.5)));
    default: // disabled, or a type the device does not know
        return 0;
    }
}

void LedIndicatorModel::updateValues()
{
    DeviceSimulator *device = simulator();
    if (!device)
        return;
    ++m_step;
    bool faulty = false;
    for (int input = 0; input < InputCount; ++input) {
        const quint16 type = device->holdingRegister(FirstTypeRegister + input);
        quint16 value = measuredValue(input, type);
        if (input == FaultInput && type != 0 && m_step % FaultCycle >= FaultCycle - FaultSteps) {
            value = SensorFault;
            faulty = true;
        }
        device->setInputRegister(FirstValueRegister + input, value);
    }
    if (faulty != m_faultReported) {
        m_faultReported = faulty;
        emit report(faulty ? tr("input %1: sensor fault").arg(FaultInput + 1)
                           : tr("input %1: sensor back").arg(FaultInput + 1));
    }
}
