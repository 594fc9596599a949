#pragma once

#include "DeviceEditor.h"

#include <QStringList>

#include <array>

class ModbusClient;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Editor of the four-channel LED indicator: a "Configuration" page with the live monitor
// of the four inputs, the display string, the display options and the per-input
// measuring set-up, and the "Device Settings" page. The configuration reaches the
// device only through writeToDevice(); the display string only from the monitor.
class Indicator4Widget : public DeviceEditor
{
    Q_OBJECT

public:
    // `client` is not owned and may be nullptr; the constructor does not touch the device.
    Indicator4Widget(ModbusClient *client, QWidget *parent = nullptr);

    void readFromDevice() override;
    void writeToDevice() override;

    // "Off" for a disabled input, the reading scaled by its input type, "Error" for a
    // type the editor does not know.
    QString formatChannelValue(int type, short value) const;
    // The characters the device can show, one string each, in the device's order.
    static const QStringList &prefixSymbols();

private slots:
    void onSensorTypeChanged(int index);
    void onMonitorToggled(bool checked);
    void onMonitorTimer();

private:
    static constexpr int InputCount = 4;
    template<typename T>
    using PerInput = std::array<T *, InputCount>;

    QWidget *createConfigurationTab();
    void updateScaleFieldsEnabled();
    bool monitorTick(const LivePoller::StillWanted &stillWanted);
    bool sendStringToDevice();

    LivePoller *m_monitor = nullptr;
    QPushButton *m_monitorButton = nullptr;
    PerInput<QLabel> m_valueLabels{};
    QLineEdit *m_stringEdit = nullptr;
    QCheckBox *m_modbusInputCheck = nullptr;
    QCheckBox *m_invertMatrixCheck = nullptr;
    QCheckBox *m_postfixPrefixCheck = nullptr;
    QSpinBox *m_switchPeriodSpin = nullptr;
    QComboBox *m_samplesCombo = nullptr;
    PerInput<QComboBox> m_typeCombos{};
    PerInput<QComboBox> m_prefixCombos{};
    PerInput<QSpinBox> m_decimalsSpins{};
    PerInput<QSpinBox> m_rampSpins{};
    PerInput<QSpinBox> m_beginMaSpins{};
    PerInput<QSpinBox> m_scaleBeginSpins{};
    PerInput<QSpinBox> m_scaleEndSpins{};

    // Input types as the device last reported them. A type box cannot show a code it
    // does not list; a write then gives the device its own code back.
    std::array<quint16, InputCount> m_deviceTypes{};
};
