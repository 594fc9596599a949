#pragma once

#include "DeviceModel.h"

// The eight-relay output module (signature 4). Holding registers: 0 relay mask,
// 99 save command, 100 address, 101 safe-state timeout in seconds, 102 safe mask,
// 103 unused, 104 baud-rate index, 105 parity. Reports the relays whenever
// register 0 changes.
class OutputModuleModel : public DeviceModel
{
    Q_OBJECT

public:
    explicit OutputModuleModel(QObject *parent = nullptr);

    QString name() const override;
    quint16 signature() const override;

    // "relays: OUT1 on, OUT2 off, ..." for the low eight bits of `mask`.
    static QString describeRelays(quint16 mask);

protected:
    void configure(DeviceSimulator *simulator) override;
    QList<StoredRegister> storedRegisters() const override;
    SettingsRegisters settingsRegisters() const override;
    bool hasAddresses(QModbusDataUnit::RegisterType table, int start, int count) const override;
    void holdingRegistersWritten(int start, int count) override;
};
