#include "DeviceModel.h"

#include "DeviceSimulator.h"
#include "ModbusClient.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

DeviceModel::DeviceModel(QObject *parent)
    : QObject(parent)
{
}

DeviceModel::~DeviceModel()
{
    // The filter calls back into this model.
    if (m_simulator)
        m_simulator->setAddressFilter({});
}

void DeviceModel::attach(DeviceSimulator *simulator)
{
    m_simulator = simulator;
    configure(simulator);
    loadState();
    m_serialSettings = settingsFromRegisters();

    simulator->setAddressFilter([this](QModbusDataUnit::RegisterType table, int start, int count) {
        return hasAddresses(table, start, count);
    });
    connect(simulator, &QModbusServer::dataWritten, this,
            [this](QModbusDataUnit::RegisterType table, int address, int size) {
                if (table == QModbusDataUnit::HoldingRegisters)
                    holdingRegistersWritten(address, size);
                else if (table == QModbusDataUnit::Coils)
                    coilsWritten(address, size);
            });
    connect(simulator, &DeviceSimulator::saveCommandReceived, this, &DeviceModel::saveState);
}

bool DeviceModel::setSerialSettings(const SerialSettings &settings)
{
    const SettingsRegisters registers = settingsRegisters();
    m_serialSettings = settings;
    m_simulator->setHoldingRegister(registers.address, quint16(settings.node));
    const quint16 parityCode = settings.parity == QSerialPort::EvenParity ? 1
        : settings.parity == QSerialPort::OddParity                       ? 2
                                                                          : 0;
    m_simulator->setHoldingRegister(registers.parity, parityCode);
    // Every Tavrolix device stores its rate as a position in the configurator's list.
    const int baudIndex = ModbusClient::baudRates().indexOf(settings.baudRate);
    if (baudIndex < 0)
        return false;
    m_simulator->setHoldingRegister(registers.baudIndex, quint16(baudIndex));
    return true;
}

QList<DeviceModel::StoredCoil> DeviceModel::storedCoils() const
{
    return {};
}

void DeviceModel::holdingRegistersWritten(int, int) { }

void DeviceModel::coilsWritten(int, int) { }

QString DeviceModel::describeStored(const QStringList &stored) const
{
    return stored.join(QStringLiteral(", "));
}

void DeviceModel::loadState()
{
    m_hasStoredSettings = false;
    if (m_statePath.isEmpty() || !QFileInfo::exists(m_statePath))
        return;
    QSettings state(m_statePath, QSettings::IniFormat);
    state.beginGroup(name());
    for (const StoredRegister &stored : storedRegisters()) {
        bool ok = false;
        const uint value = state.value(QLatin1String(stored.key)).toUInt(&ok);
        if (ok && value <= 0xFFFF) {
            m_simulator->setHoldingRegister(stored.address, quint16(value));
            m_hasStoredSettings = true;
        }
    }
    for (const StoredCoil &stored : storedCoils()) {
        const QVariant value = state.value(QLatin1String(stored.key));
        if (value.isValid())
            m_simulator->setCoil(stored.address, value.toBool());
    }
}

void DeviceModel::saveState()
{
    if (m_statePath.isEmpty()) {
        emit report(tr("save command: no state file, the settings are lost on a restart"));
        return;
    }
    QDir().mkpath(QFileInfo(m_statePath).absolutePath());
    QSettings state(m_statePath, QSettings::IniFormat);
    state.beginGroup(name());
    QStringList stored;
    for (const StoredRegister &entry : storedRegisters()) {
        const quint16 value = m_simulator->holdingRegister(entry.address);
        state.setValue(QLatin1String(entry.key), value);
        stored.append(QStringLiteral("%1 %2").arg(QLatin1String(entry.key)).arg(value));
    }
    for (const StoredCoil &entry : storedCoils()) {
        const bool value = m_simulator->coil(entry.address);
        state.setValue(QLatin1String(entry.key), value);
        stored.append(QStringLiteral("%1 %2").arg(QLatin1String(entry.key)).arg(int(value)));
    }
    state.endGroup();
    state.sync();
    if (state.status() != QSettings::NoError) {
        emit report(tr("save command: cannot write %1").arg(m_statePath));
        return;
    }
    emit report(tr("save command: stored %1 in %2 (serial settings apply after a restart)")
                    .arg(describeStored(stored), m_statePath));
}

DeviceModel::SerialSettings DeviceModel::settingsFromRegisters() const
{
    // A device that finds nonsense in its flash falls back to its factory settings.
    const SettingsRegisters registers = settingsRegisters();
    SerialSettings settings;
    const int node = m_simulator->holdingRegister(registers.address);
    if (node >= 1 && node <= 247)
        settings.node = node;
    settings.baudRate = ModbusClient::baudRates().value(
        m_simulator->holdingRegister(registers.baudIndex), settings.baudRate);
    switch (m_simulator->holdingRegister(registers.parity)) {
    case 1:
        settings.parity = QSerialPort::EvenParity;
        break;
    case 2:
        settings.parity = QSerialPort::OddParity;
        break;
    default:
        break;
    }
    return settings;
}
