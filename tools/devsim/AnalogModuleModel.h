#pragma once

#include "DeviceModel.h"

#include <QList>

class QTimer;

// The eight-channel analog input module (signature 2). Holding registers: 0-7 sensor
// type per channel (0 disabled, 1 Pt100, 2 0-20 mA, 3 100P), 8-15 ramp in ms, 16-23
// multiplier, 24 samples per second, 25 address, 26 baud-rate index, 27 parity, 28 save
// command. Input registers 8-15 hold the measured value of each channel in units of
// 1 / multiplier, or 0xD8F0 when its sensor is faulty. Temperatures and currents drift
// while the module runs, and now and then the sensor on one input fails for a while.
class AnalogModuleModel : public DeviceModel
{
    Q_OBJECT

public:
    static constexpr quint16 SensorError = 0xD8F0;

    explicit AnalogModuleModel(QObject *parent = nullptr);
    ~AnalogModuleModel() override;

    QString name() const override;
    quint16 signature() const override;

    // Whether the measured values move on their own (on from power-up). Off, they keep
    // whatever was last set, so the owner can put values of its own in.
    void setLive(bool on);

    // "Pt100 0.00385" etc. for a type register value.
    static QString typeName(quint16 type);

protected:
    void configure(DeviceSimulator *simulator) override;
    QList<StoredRegister> storedRegisters() const override;
    SettingsRegisters settingsRegisters() const override;
    bool hasAddresses(QModbusDataUnit::RegisterType table, int start, int count) const override;
    void holdingRegistersWritten(int start, int count) override;

private:
    void step();

    QTimer *m_timer = nullptr;
    // What each channel's sensor measures: degrees Celsius or milliamperes.
    QList<double> m_physical;
    int m_faultyChannel = -1;
    int m_faultTicks = 0; // left until the faulty sensor recovers, or the next one fails
};
