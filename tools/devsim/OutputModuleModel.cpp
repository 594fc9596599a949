#include "OutputModuleModel.h"

#include "DeviceSimulator.h"

#include <QStringList>

namespace {

constexpr quint16 Signature = 4;
constexpr quint16 FirmwareMajor = 1;
constexpr quint16 FirmwareMinor = 3;

constexpr int OutputsRegister = 0;
constexpr int SaveRegister = 99;
constexpr int AddressRegister = 100;
constexpr int TimeoutRegister = 101;
constexpr int SafeMaskRegister = 102;
constexpr int BaudIndexRegister = 104;
constexpr int ParityRegister = 105;
constexpr int LastRegister = ParityRegister;

constexpr int RelayCount = 8;

bool within(int start, int count, int first, int last)
{
    return start >= first && start + count - 1 <= last;
}

} // namespace

OutputModuleModel::OutputModuleModel(QObject *parent)
    : DeviceModel(parent)
{
}

QString OutputModuleModel::name() const
{
    return QStringLiteral("do8");
}

quint16 OutputModuleModel::signature() const
{
    return Signature;
}

QString OutputModuleModel::describeRelays(quint16 mask)
{
    QStringList relays;
    for (int i = 0; i < RelayCount; ++i) {
        relays.append(QStringLiteral("OUT%1 %2")
                          .arg(i + 1)
                          .arg((mask >> i) & 1 ? QLatin1String("on") : QLatin1String("off")));
    }
    return QStringLiteral("relays: ") + relays.join(QStringLiteral(", "));
}

void OutputModuleModel::configure(DeviceSimulator *simulator)
{
    simulator->setIdentity(Signature, FirmwareMajor, FirmwareMinor);
    simulator->setRegisterCounts(0, 0, LastRegister + 1, 3);
    simulator->setSaveRegister(SaveRegister);
    // Factory settings: node 1, 9600 baud, no parity, safe state after 3 s, all off.
    simulator->setHoldingRegister(AddressRegister, 1);
    simulator->setHoldingRegister(TimeoutRegister, 3);
    simulator->setHoldingRegister(BaudIndexRegister, 2);
}

QList<DeviceModel::StoredRegister> OutputModuleModel::storedRegisters() const
{
    return {
        {AddressRegister, "address"},   {TimeoutRegister, "safeTimeout"},
        {SafeMaskRegister, "safeMask"}, {BaudIndexRegister, "baudIndex"},
        {ParityRegister, "parity"},
    };
}

DeviceModel::SettingsRegisters OutputModuleModel::settingsRegisters() const
{
    return {AddressRegister, BaudIndexRegister, ParityRegister};
}

bool OutputModuleModel::hasAddresses(QModbusDataUnit::RegisterType table, int start,
                                     int count) const
{
    switch (table) {
    case QModbusDataUnit::HoldingRegisters:
        return within(start, count, OutputsRegister, OutputsRegister)
            || within(start, count, SaveRegister, LastRegister);
    case QModbusDataUnit::InputRegisters:
        return within(start, count, 0, 2); // signature and firmware version
    default:
        return false;
    }
}

void OutputModuleModel::holdingRegistersWritten(int start, int count)
{
    if (start <= OutputsRegister && OutputsRegister < start + count)
        emit report(describeRelays(simulator()->holdingRegister(OutputsRegister)));
}
