#pragma once

#include "DeviceEditor.h"

#include <array>

class ModbusClient;
class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

// Editor of the eight-relay output module. Relay buttons, the safe-state timeout and
// the safe-state boxes act on the device at once; the device's own serial settings
// reach it only through writeToDevice().
class OutputDO8Widget : public DeviceEditor
{
    Q_OBJECT

public:
    // `client` is not owned and may be nullptr; the constructor does not touch the device.
    OutputDO8Widget(ModbusClient *client, QWidget *parent = nullptr);

    void readFromDevice() override;
    void writeToDevice() override;

private slots:
    void onOutputToggled();
    void onSafeSettingsChanged();

private:
    QWidget *createOutputsTab();
    QWidget *createSafeStateTab();
    // Locks or unlocks the relay buttons.
    void setOutputsKnown(bool known);
    // Shows the relays as register 0 holds them; true when the read succeeded.
    bool readOutputs();

    std::array<QPushButton *, 8> m_outputButtons{};
    QSpinBox *m_timeoutSpin = nullptr;
    std::array<QCheckBox *, 8> m_safeStateChecks{};
    // Relays drive equipment: the buttons stay locked until they show the device's state.
    bool m_outputsKnown = false;
    quint16 m_outputs = 0; // the relay states the device last confirmed
};
