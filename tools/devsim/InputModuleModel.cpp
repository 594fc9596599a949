#include "InputModuleModel.h"

#include "DeviceSimulator.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QTimer>

namespace {

constexpr quint16 Signature = 3;
constexpr quint16 FirmwareMajor = 2;
constexpr quint16 FirmwareMinor = 1;

constexpr int InputCount = 40;
constexpr int StatesRegister = 8; // input registers 8 to 11
constexpr int LastStatesRegister = 11;
constexpr int DelaysRegister = 12; // holding registers 12 to 51
constexpr int LastDelayRegister = DelaysRegister + InputCount - 1;
constexpr int AddressRegister = 100;
constexpr int BaudIndexRegister = 101;
constexpr int ParityRegister = 102;
constexpr int SaveRegister = 103;

constexpr quint16 FactoryDelayMs = 50;
constexpr quint16 MaxDelayMs = 10000;
constexpr int InputStepMs = 300;

bool within(int start, int count, int first, int last)
{
    return start >= first && start + count - 1 <= last;
}

// Names of the delays in the state file: "delay1" to "delay40".
const QList<QByteArray> &delayKeys()
{
    static const QList<QByteArray> keys = [] {
        QList<QByteArray> list;
        for (int n = 1; n <= InputCount; ++n)
            list.append("delay" + QByteArray::number(n));
        return list;
    }();
    return keys;
}

} // namespace

InputModuleModel::InputModuleModel(QObject *parent)
    : DeviceModel(parent)
    , m_inputTimer(new QTimer(this))
{
    m_inputTimer->setInterval(InputStepMs);
    connect(m_inputTimer, &QTimer::timeout, this, &InputModuleModel::moveInputs);
}

QString InputModuleModel::name() const
{
    return QStringLiteral("di40");
}

quint16 InputModuleModel::signature() const
{
    return Signature;
}

void InputModuleModel::setInputsMoving(bool on)
{
    if (on && simulator())
        m_inputTimer->start();
    else
        m_inputTimer->stop();
}

bool InputModuleModel::inputsMoving() const
{
    return m_inputTimer->isActive();
}

void InputModuleModel::configure(DeviceSimulator *simulator)
{
    simulator->setIdentity(Signature, FirmwareMajor, FirmwareMinor);
    simulator->setRegisterCounts(0, 0, SaveRegister + 1, LastStatesRegister + 1);
    simulator->setSaveRegister(SaveRegister);
    // Factory settings: node 1, 9600 baud, no parity, 50 ms debounce on every input.
    for (int r = DelaysRegister; r <= LastDelayRegister; ++r)
        simulator->setHoldingRegister(r, FactoryDelayMs);
    simulator->setHoldingRegister(AddressRegister, 1);
    simulator->setHoldingRegister(BaudIndexRegister, 2);
    m_step = 0;
    m_inputTimer->start();
}

QList<DeviceModel::StoredRegister> InputModuleModel::storedRegisters() const
{
    QList<StoredRegister> stored;
    for (int n = 0; n < InputCount; ++n)
        stored.append({quint16(DelaysRegister + n), delayKeys().at(n).constData()});
    stored.append({AddressRegister, "address"});
    stored.append({BaudIndexRegister, "baudIndex"});
    stored.append({ParityRegister, "parity"});
    return stored;
}

DeviceModel::SettingsRegisters InputModuleModel::settingsRegisters() const
{
    return {AddressRegister, BaudIndexRegister, ParityRegister};
}

bool InputModuleModel::hasAddresses(QModbusDataUnit::RegisterType table, int start,
                                    int count) const
{
    switch (table) {
    case QModbusDataUnit::HoldingRegisters:
        return within(start, count, DelaysRegister, LastDelayRegister)
            || within(start, count, AddressRegister, SaveRegister);
    case QModbusDataUnit::InputRegisters:
        return within(start, count, 0, 2) // signature and firmware version
            || within(start, count, StatesRegister, LastStatesRegister);
    default:
        return false;
    }
}

void InputModuleModel::holdingRegistersWritten(int start, int count)
{
    for (int r = qMax(start, DelaysRegister); r < start + count && r <= LastDelayRegister; ++r) {
        const quint16 delay = simulator()->holdingRegister(r);
        QString line =
            QStringLiteral("debounce delay IN%1: %2 ms").arg(r - DelaysRegister + 1).arg(delay);
        if (delay > MaxDelayMs)
            line += QStringLiteral(" (above %1 ms, the device would use %1 ms)").arg(MaxDelayMs);
        emit report(line);
    }
}

bool InputModuleModel::input(int n) const
{
    return (simulator()->inputRegister(StatesRegister + n / 16) >> (n % 16)) & 1;
}

void InputModuleModel::setInput(int n, bool active)
{
    const int address = StatesRegister + n / 16;
    const quint16 bit = quint16(1u << (n % 16));
    const quint16 states = simulator()->inputRegister(address);
    simulator()->setInputRegister(address,
                                  active ? quint16(states | bit) : quint16(states & ~bit));
}

// What a module on a machine sees: a pulse source on input 1, a slower one on input 2,
// a running light across inputs 9 to 16 (a cam switch), and now and then one of
// inputs 17 to 40 switched by hand.
void InputModuleModel::moveInputs()
{
    if (!simulator())
        return;
    ++m_step;
    setInput(0, !input(0));
    if (m_step % 3 == 0)
        setInput(1, !input(1));
    for (int n = 8; n < 16; ++n)
        setInput(n, n - 8 == int(m_step % 8));
    if (m_step % 4 == 0) {
        const int n = 16 + QRandomGenerator::global()->bounded(InputCount - 16);
        setInput(n, !input(n));
    }
}
