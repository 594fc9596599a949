#include "ColumnIndicatorModel.h"

#include "DeviceSimulator.h"

#include <QByteArray>
#include <QStringList>
#include <QTimer>

#include <array>

namespace {

constexpr quint16 Signature = 18;
constexpr quint16 FirmwareMajor = 2;
constexpr quint16 FirmwareMinor = 1;

constexpr int SaveRegister = 0;
constexpr int AddressRegister = 1;
constexpr int BaudIndexRegister = 2;
constexpr int ParityRegister = 3;
constexpr int SafePeriodRegister = 4;
constexpr int SlaveValuesRegister = 5;
constexpr int ColumnsRegister = 9;
constexpr int ColumnStride = 9;
constexpr int RegisterCount = 45;

constexpr int SlaveModeCoil = 0;
constexpr int SafePeriodCoil = 1;
constexpr int ColumnsCoil = 2;
constexpr int CoilCount = 10;

constexpr int ColumnCount = 4;
constexpr int RangeCount = 7;
const char *const RangeKeys[RangeCount] = {"RedBegin",   "RedEnd",   "YellowBegin", "YellowEnd",
                                           "GreenBegin", "GreenEnd", "Blue"};

constexpr int rangeRegister(int column, int range)
{
    return ColumnsRegister + ColumnStride * column + 2 + range;
}

bool within(int start, int count, int first, int last)
{
    return start >= first && start + count - 1 <= last;
}

bool touches(int start, int count, int first, int last)
{
    return start <= last && first < start + count;
}

// Names in the state file, made once: the stored entries point into them.
struct StateKeys
{
    std::array<QByteArray, RegisterCount> registers;
    std::array<QByteArray, CoilCount> coils;

    StateKeys()
    {
        registers[AddressRegister] = "address";
        registers[BaudIndexRegister] = "baudIndex";
        registers[ParityRegister] = "parity";
        registers[SafePeriodRegister] = "safePeriod";
        coils[SlaveModeCoil] = "slaveMode";
        coils[SafePeriodCoil] = "useSafePeriod";
        for (int i = 0; i < ColumnCount; ++i) {
            const QByteArray column = "column" + QByteArray::number(i + 1);
            registers[std::size_t(SlaveValuesRegister + i)] = column + "SlaveValue";
            const int base = ColumnsRegister + ColumnStride * i;
            registers[std::size_t(base)] = column + "RemoteNode";
            registers[std::size_t(base + 1)] = column + "InputRegister";
            for (int r = 0; r < RangeCount; ++r)
                registers[std::size_t(rangeRegister(i, r))] = column + RangeKeys[r];
            coils[std::size_t(ColumnsCoil + 2 * i)] = column + "Active";
            coils[std::size_t(ColumnsCoil + 2 * i + 1)] = column + "HidePrevious";
        }
    }
};

const StateKeys &stateKeys()
{
    static const StateKeys keys;
    return keys;
}

} // namespace

ColumnIndicatorModel::ColumnIndicatorModel(QObject *parent)
    : DeviceModel(parent)
{
}

QString ColumnIndicatorModel::name() const
{
    return QStringLiteral("column");
}

quint16 ColumnIndicatorModel::signature() const
{
    return Signature;
}

void ColumnIndicatorModel::configure(DeviceSimulator *simulator)
{
    simulator->setIdentity(Signature, FirmwareMajor, FirmwareMinor);
    simulator->setRegisterCounts(CoilCount, 0, RegisterCount, 3);
    simulator->setSaveRegister(SaveRegister);
    connect(simulator, &DeviceSimulator::requestReceived, this,
            &ColumnIndicatorModel::slaveValuesReceived);
    // Factory settings: node 1, 9600 baud, no parity, master mode, a 10 s safe period,
    // column n fed from input register 0 of node n + 1, every column active with the
    // same scale: red to 199, yellow to 399, green to 799, blue above.
    simulator->setHoldingRegister(AddressRegister, 1);
    simulator->setHoldingRegister(BaudIndexRegister, 2);
    simulator->setHoldingRegister(SafePeriodRegister, 10);
    const quint16 limits[RangeCount] = {0, 199, 200, 399, 400, 799, 800};
    for (int i = 0; i < ColumnCount; ++i) {
        simulator->setHoldingRegister(ColumnsRegister + ColumnStride * i, quint16(i + 2));
        for (int r = 0; r < RangeCount; ++r)
            simulator->setHoldingRegister(rangeRegister(i, r), limits[r]);
        simulator->setCoil(ColumnsCoil + 2 * i, true);
    }
}

QList<DeviceModel::StoredRegister> ColumnIndicatorModel::storedRegisters() const
{
    QList<StoredRegister> stored;
    const StateKeys &keys = stateKeys();
    for (int address = SaveRegister + 1; address < RegisterCount; ++address)
        stored.append({quint16(address), keys.registers[std::size_t(address)].constData()});
    return stored;
}

QList<DeviceModel::StoredCoil> ColumnIndicatorModel::storedCoils() const
{
    QList<StoredCoil> stored;
    const StateKeys &keys = stateKeys();
    for (int address = 0; address < CoilCount; ++address)
        stored.append({quint16(address), keys.coils[std::size_t(address)].constData()});
    return stored;
}

DeviceModel::SettingsRegisters ColumnIndicatorModel::settingsRegisters() const
{
    return {AddressRegister, BaudIndexRegister, ParityRegister};
}

bool ColumnIndicatorModel::hasAddresses(QModbusDataUnit::RegisterType table, int start,
                                        int count) const
{
    switch (table) {
    case QModbusDataUnit::HoldingRegisters:
        return within(start, count, 0, RegisterCount - 1);
    case QModbusDataUnit::Coils:
        return within(start, count, 0, CoilCount - 1);
    case QModbusDataUnit::InputRegisters:
        return within(start, count, 0, 2); // signature and firmware version
    default:
        return false;
    }
}

QString ColumnIndicatorModel::colourOf(int column, quint16 value) const
{
    // The first range whose end the value does not pass; "blue" starts at its own limit.
    static const char *const colours[] = {"red", "yellow", "green"};
    for (int c = 0; c < 3; ++c) {
        const quint16 begin = simulator()->holdingRegister(rangeRegister(column, 2 * c));
        const quint16 end = simulator()->holdingRegister(rangeRegister(column, 2 * c + 1));
        if (value >= begin && value <= end)
            return QLatin1String(colours[c]);
    }
    if (value >= simulator()->holdingRegister(rangeRegister(column, RangeCount - 1)))
        return QStringLiteral("blue");
    return QStringLiteral("dark");
}

QString ColumnIndicatorModel::describeSlaveValues() const
{
    QStringList columns;
    for (int i = 0; i < ColumnCount; ++i) {
        const quint16 value = simulator()->holdingRegister(SlaveValuesRegister + i);
        const bool active = simulator()->coil(ColumnsCoil + 2 * i);
        columns.append(QStringLiteral("%1: %2 (%3)")
                           .arg(i + 1)
                           .arg(value)
                           .arg(active ? colourOf(i, value) : QStringLiteral("inactive")));
    }
    return QStringLiteral("slave values: ") + columns.join(QStringLiteral(", "));
}

QString ColumnIndicatorModel::describeMode() const
{
    if (!simulator()->coil(SlaveModeCoil))
        return QStringLiteral("mode: master");
    if (!simulator()->coil(SafePeriodCoil))
        return QStringLiteral("mode: slave, no safe period");
    return QStringLiteral("mode: slave, safe period %1 s")
        .arg(simulator()->holdingRegister(SafePeriodRegister));
}

void ColumnIndicatorModel::slaveValuesReceived(const SimulatedRequest &request)
{
    const bool write = request.function == QModbusPdu::WriteSingleRegister
        || request.function == QModbusPdu::WriteMultipleRegisters;
    if (!write
        || !touches(request.address, request.count, SlaveValuesRegister,
                    SlaveValuesRegister + ColumnCount - 1)) {
        return;
    }
    // The request is logged before the device acts on it, and a master that repeats the
    // same values changes no register: look once the device has answered, and only show
    // values the device took.
    QTimer::singleShot(0, this, [this, request] {
        if (!simulator())
            return;
        for (int i = 0; i < request.values.size(); ++i) {
            if (simulator()->holdingRegister(request.address + i) != request.values.at(i))
                return;
        }
        emit report(describeSlaveValues());
    });
}

void ColumnIndicatorModel::coilsWritten(int start, int count)
{
    if (touches(start, count, SlaveModeCoil, SafePeriodCoil))
        emit report(describeMode());
}
