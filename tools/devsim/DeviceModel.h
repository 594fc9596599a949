#pragma once

#include <QList>
#include <QModbusDataUnit>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QStringList>

class DeviceSimulator;

// What one type of simulated device does beyond holding registers: its register map
// and power-up values, the settings it keeps across a restart (a state file standing
// in for its flash), and its reactions to writes. Each device type is one subclass;
// the simulator program and the tests attach a model to a DeviceSimulator.
class DeviceModel : public QObject
{
    Q_OBJECT

public:
    struct SerialSettings
    {
        int node = 1;
        int baudRate = 9600;
        QSerialPort::Parity parity = QSerialPort::NoParity;
    };

    explicit DeviceModel(QObject *parent = nullptr);
    ~DeviceModel() override;

    // Short name, e.g. for the default state file.
    virtual QString name() const = 0;
    virtual quint16 signature() const = 0;

    // Powers the device up on `simulator` (not owned; attach once): identity, register
    // map and initial values, then the settings stored in the state file.
    void attach(DeviceSimulator *simulator);

    // The device's flash: read at power-up, written on the save command. Empty (the
    // default): the device forgets everything on a restart. Set it before attach().
    void setStatePath(const QString &path) { m_statePath = path; }
    QString statePath() const { return m_statePath; }
    // True when the state file held settings at power-up.
    bool hasStoredSettings() const { return m_hasStoredSettings; }
    // The line settings the device took at power-up; as on the real device, settings
    // written later apply only after the next power-up.
    SerialSettings serialSettings() const { return m_serialSettings; }
    // For a device without stored settings that is started with `settings`: its
    // registers show them. False when the rate is not one the device can store; its
    // baud-rate register then keeps its initial value.
    bool setSerialSettings(const SerialSettings &settings);

signals:
    // A line for whoever watches the device; the simulator program prints it.
    void report(const QString &line);

protected:
    struct StoredRegister
    {
        quint16 address;
        const char *key; // name in the state file
    };
    struct StoredCoil
    {
        quint16 address;
        const char *key; // name in the state file
    };
    struct SettingsRegisters
    {
        quint16 address;
        quint16 baudIndex; // position in the device baud-rate list
        quint16 parity; // 0 none, 1 even, 2 odd
    };

    // Identity, register counts, initial values and save register of a fresh device.
    virtual void configure(DeviceSimulator *simulator) = 0;
    // Holding registers the save command stores and power-up restores.
    virtual QList<StoredRegister> storedRegisters() const = 0;
    // Coils the save command stores and power-up restores; none unless a device keeps some.
    virtual QList<StoredCoil> storedCoils() const;
    virtual SettingsRegisters settingsRegisters() const = 0;
    // Whether the device has all `count` addresses of `table` from `start`;
    // others are answered with exception 02.
    virtual bool hasAddresses(QModbusDataUnit::RegisterType table, int start, int count) const = 0;
    // Holding registers changed, by the master or by the simulator's owner.
    virtual void holdingRegistersWritten(int start, int count);
    // Coils changed, by the master or by the simulator's owner.
    virtual void coilsWritten(int start, int count);
    // What the save command's report line says was stored; `stored` holds one
    // "key value" entry per stored register. Devices that store hundreds of registers
    // summarise them.
    virtual QString describeStored(const QStringList &stored) const;

    DeviceSimulator *simulator() const { return m_simulator; }

private:
    void loadState();
    void saveState();
    SerialSettings settingsFromRegisters() const;

    QString m_statePath;
    QPointer<DeviceSimulator> m_simulator;
    bool m_hasStoredSettings = false;
    SerialSettings m_serialSettings;
};
