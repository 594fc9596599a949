#pragma once

#include "LivePoller.h"

#include <QPointer>
#include <QWidget>

#include <array>

class DeviceSettingsPage;
class ModbusClient;
class QComboBox;
class QLabel;
class QSpinBox;

// Editor of the eight-channel analog input module. Sensor type, ramp, multiplier and
// sample rate act on the device at once; the device's own serial settings reach it only
// through writeToDevice(). The measured values refresh every 100 ms while auto refresh
// is on.
class AnalogModule8Widget : public QWidget
{
    Q_OBJECT

public:
    // `client` is not owned and may be nullptr; the constructor does not touch the device.
    AnalogModule8Widget(ModbusClient *client, QWidget *parent = nullptr);
    ~AnalogModule8Widget() override;

    void readFromDevice();
    void writeToDevice();

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
    QWidget *createDeviceSettingsTab();
    bool isOnline() const;
    // Unit label and spin boxes of `channel` for sensor type `type`.
    void showType(int channel, int type);
    void showConfiguration(const QList<quint16> &registers);
    bool readMeasuredValues(const LivePoller::StillWanted &stillWanted);

    // Not owned; a QPointer because the host may delete it while a request waits.
    QPointer<ModbusClient> m_client;
    LivePoller *m_refresh = nullptr;
    std::array<QLabel *, ChannelCount> m_valueLabels{};
    std::array<QLabel *, ChannelCount> m_unitLabels{};
    std::array<QComboBox *, ChannelCount> m_typeCombos{};
    std::array<QSpinBox *, ChannelCount> m_rampSpins{};
    std::array<QSpinBox *, ChannelCount> m_multiplierSpins{};
    QComboBox *m_spsCombo = nullptr;
    QSpinBox *m_deviceAddressSpin = nullptr;
    QComboBox *m_deviceBaudCombo = nullptr;
    QComboBox *m_deviceParityCombo = nullptr;
    DeviceSettingsPage *m_deviceSettingsPage = nullptr;
};
