#pragma once

#include "DeviceModel.h"

class QTimer;

// The voltmeter (signature 24). Holding registers: 0-3 type of inputs 1-4, 4-11 ramp of
// inputs 1-8, 12-15 multiplier of inputs 1-4, 16 sample rate, 17 address, 18 baud-rate
// index, 19 parity, 20 save command. Input registers: 3 and 4 the firmware build time
// (high, low), 8-11 readings of inputs 1-4 (signed, scaled by the multiplier), 12-15
// inputs 5-8 in millivolts. The readings drift while the device runs, and input 4 now
// and then reports a faulty sensor (0xD8F0). Reports a write that changes the
// configuration, and the sensor fault coming and going.
class VoltmeterModel : public DeviceModel
{
    Q_OBJECT

public:
    static constexpr quint32 BuildTime = 1733140800; // 2024-12-02 12:00:00 UTC

    explicit VoltmeterModel(QObject *parent = nullptr);

    QString name() const override;
    quint16 signature() const override;

    // Live readings move every few hundred milliseconds once the device is attached;
    // tests that set the input registers themselves switch them off.
    void setLiveValues(bool on);

protected:
    void configure(DeviceSimulator *simulator) override;
    QList<StoredRegister> storedRegisters() const override;
    SettingsRegisters settingsRegisters() const override;
    bool hasAddresses(QModbusDataUnit::RegisterType table, int start, int count) const override;
    void holdingRegistersWritten(int start, int count) override;

private:
    void updateReadings();
    // The raw reading of configurable input `index` (0-3) for a temperature in °C or a
    // loop current in mA, as the device scales it.
    quint16 scaledReading(int index, double temperature, double current) const;

    QTimer *m_liveTimer = nullptr;
    bool m_live = true;
    int m_tick = 0;
    bool m_sensorFault = false;
};
