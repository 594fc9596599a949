#pragma once

#include "DeviceEditor.h"

#include <array>

class ModbusClient;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// Editor of the voltmeter: type, ramp and multiplier of the eight inputs and the sample
// rate ("Configuration"), the device's serial settings and firmware build time ("Device
// Settings"), and the inputs in their units while the monitor runs ("Monitoring").
// Inputs 1 to 4 are configurable; inputs 5 to 8 measure voltage with a divider fixed in
// the firmware.
class VoltmeterWidget : public DeviceEditor
{
    Q_OBJECT

public:
    static constexpr int InputCount = 8;
    static constexpr int ConfigurableCount = 4;

    // `client` is not owned and may be nullptr; the constructor does not touch the device.
    VoltmeterWidget(ModbusClient *client, QWidget *parent = nullptr);

    void readFromDevice() override;
    void writeToDevice() override;

private slots:
    void onDefaultsClicked();
    void onMonitorToggled(bool checked);
    void onPollTimerTimeout();

private:
    void applyDefaults();
    void enableConfigWidgets(bool enabled);
    void updateMonitorTypes();
    void updateChannelUi(int index);
    QString typeText(int index) const;
    void updateBuildDateTime(ushort high, ushort low);
    QString convertedSensorValue(int index, ushort raw) const;
    void updateSensorDisplay(int index, ushort raw);
    bool readReadings(const LivePoller::StillWanted &stillWanted);
    QWidget *createConfigurationTab();
    QWidget *createMonitoringTab();

    LivePoller *m_monitor = nullptr;
    std::array<QComboBox *, InputCount> m_typeCombos{};
    std::array<QSpinBox *, InputCount> m_rampSpins{};
    std::array<QSpinBox *, InputCount> m_multiplierSpins{};
    std::array<QLabel *, InputCount> m_rawLabels{};
    std::array<QLabel *, InputCount> m_monitorTypeLabels{};
    std::array<QLabel *, InputCount> m_valueLabels{};
    QComboBox *m_spsCombo = nullptr;
    QPushButton *m_monitorButton = nullptr;
};
