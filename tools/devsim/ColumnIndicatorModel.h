#pragma once

#include "DeviceModel.h"

struct SimulatedRequest;

// The four-channel column indicator (signature 18). Holding registers 0 to 44: 0 save
// command, 1 address, 2 baud-rate index, 3 parity, 4 safe period in seconds, 5 to 8 the
// slave values regSl0 to regSl3, then per column nine registers from 9: remote node,
// input register, Red Begin, Red End, Yellow Begin, Yellow End, Green Begin, Green End,
// Blue. Coils 0 to 9: slave mode, use safe period, then "Active" and "Hide previous" per
// column. The save command keeps registers 1 to 44 and every coil. Reports every set of
// slave values it takes, with the colour each column shows, and changes of its mode.
class ColumnIndicatorModel : public DeviceModel
{
    Q_OBJECT

public:
    explicit ColumnIndicatorModel(QObject *parent = nullptr);

    QString name() const override;
    quint16 signature() const override;

    // "slave values: 1: 120 (green), 2: 0 (red), ..." for the columns' values as ranged
    // by the current limits.
    QString describeSlaveValues() const;
    // "mode: slave, safe period 10 s" or "mode: master".
    QString describeMode() const;

protected:
    void configure(DeviceSimulator *simulator) override;
    QList<StoredRegister> storedRegisters() const override;
    QList<StoredCoil> storedCoils() const override;
    SettingsRegisters settingsRegisters() const override;
    bool hasAddresses(QModbusDataUnit::RegisterType table, int start, int count) const override;
    void coilsWritten(int start, int count) override;

private:
    void slaveValuesReceived(const SimulatedRequest &request);
    QString colourOf(int column, quint16 value) const;
};
