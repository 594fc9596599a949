#pragma once

#include "DeviceEditor.h"

#include <array>

class ModbusClient;
class QCheckBox;
class QLabel;
class QSpinBox;

// Editor of the four-channel column indicator: the device's port settings, its mode and
// master-mode sources, the colour ranges of its columns, and a slave test. Editing is
// offline: only the slave test talks to the device before writeToDevice().
class ColumnIndicatorWidget : public DeviceEditor
{
    Q_OBJECT

public:
    static constexpr int ColumnCount = 4;
    static constexpr int RangeCount = 7; // red begin/end, yellow begin/end, green begin/end, blue

    // `client` is not owned and may be nullptr; the constructor does not touch the device.
    ColumnIndicatorWidget(ModbusClient *client, QWidget *parent = nullptr);

    void readFromDevice() override;
    void writeToDevice() override;

private slots:
    void onSlaveModeToggled(bool checked);
    void onApplySlaveTest();

private:
    void updateSlaveControlsEnabled();
    void setSpinValue(QSpinBox *box, unsigned short value);
    unsigned short spinUnsignedValue(QSpinBox *box) const;
    QWidget *createGeneralTab();
    QWidget *createRangesTab();
    QWidget *createSlaveTestTab();

    QSpinBox *m_safePeriodSpin = nullptr;
    QCheckBox *m_slaveModeCheck = nullptr;
    QCheckBox *m_safePeriodCheck = nullptr;
    std::array<QCheckBox *, ColumnCount> m_activeChecks{};
    std::array<QCheckBox *, ColumnCount> m_hidePreviousChecks{};
    std::array<QSpinBox *, ColumnCount> m_remoteNodeSpins{};
    std::array<QSpinBox *, ColumnCount> m_inputRegisterSpins{};
    std::array<std::array<QSpinBox *, RangeCount>, ColumnCount> m_rangeSpins{};
    std::array<QSpinBox *, ColumnCount> m_testValueSpins{};
    QCheckBox *m_enableSlaveOnApplyCheck = nullptr;
    QLabel *m_slaveTestStatusLabel = nullptr;
};
