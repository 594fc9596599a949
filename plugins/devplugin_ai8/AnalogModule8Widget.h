#pragma once

#include "DeviceEditor.h"

#include <array>

class ModbusClient;
class QComboBox;
class QLabel;
class QSpinBox;

// Editor of the eight-channel analog input module. Sensor type, ramp, multiplier and
// sample rate act on the device at once; the device's own serial settings reach it only
// through writeToDevice(). The measured values refresh every 100 ms while auto refresh
// is on.
class AnalogModule8Widget : public DeviceEditor
{
    Q_OBJECT

public:
    // `client` is not owned and may be nullptr; the constructor does not touch the device.
    AnalogModule8Widget(ModbusClient *client, QWidget *parent = nullptr);

    void readFromDevice() override;
    void writeToDevice() override;

    // The value label's text for `raw` as the device reports it on `channel`.
    QString formatSensorValue(int channel, short raw) const;
    void updateSensorDisplay(int channel, short raw);

private slots:
    void onSensorTypeChanged(int index);
    void onRampChanged(int value);
    void onMultiplierChanged(int value);
    void onSpsChanged(int index);
    void onRefreshTimerTimeout();

private:
    static constexpr int ChannelCount = 8;

    QWidget *createSensorsTab();
    QWidget *createChannelSettingsTab();
    // Unit label and spin boxes of `channel` for sensor type `type`.
    void showType(int channel, int type);
    void showConfiguration(const QList<quint16> &registers);
    bool readMeasuredValues(const LivePoller::StillWanted &stillWanted);

    LivePoller *m_refresh = nullptr;
    std::array<QLabel *, ChannelCount> m_valueLabels{};
    std::array<QLabel *, ChannelCount> m_unitLabels{};
    std::array<QComboBox *, ChannelCount> m_typeCombos{};
    std::array<QSpinBox *, ChannelCount> m_rampSpins{};
    std::array<QSpinBox *, ChannelCount> m_multiplierSpins{};
    // A type code the device reported that its box does not list (the box keeps what it
    // showed), or -1. A write gives the device its own code back.
    std::array<int, ChannelCount> m_unlistedTypes{-1, -1, -1, -1, -1, -1, -1, -1};
    QComboBox *m_spsCombo = nullptr;
};
