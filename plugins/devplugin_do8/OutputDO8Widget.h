#pragma once

#include <QPointer>
#include <QWidget>

#include <array>

class DeviceSettingsPage;
class ModbusClient;
class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

// Editor of the eight-relay output module. Relay buttons, the safe-state timeout and
// the safe-state boxes act on the device at once; the device's own serial settings
// reach it only through writeToDevice().
class OutputDO8Widget : public QWidget
{
    Q_OBJECT

public:
    // `client` is not owned and may be nullptr; the constructor does not touch the device.
    OutputDO8Widget(ModbusClient *client, QWidget *parent = nullptr);

    void readFromDevice();
    void writeToDevice();

private slots:
    void onOutputToggled();
    void onSafeSettingsChanged();

private:
    QWidget *createOutputsTab();
    QWidget *createSafeStateTab();
    QWidget *createDeviceSettingsTab();
    bool isOnline() const;

    // Not owned; a QPointer because the host may delete it while a request waits.
    QPointer<ModbusClient> m_client;
    std::array<QPushButton *, 8> m_outputButtons{};
    QSpinBox *m_timeoutSpin = nullptr;
    std::array<QCheckBox *, 8> m_safeStateChecks{};
    QSpinBox *m_deviceAddressSpin = nullptr;
    QComboBox *m_deviceBaudCombo = nullptr;
    QComboBox *m_deviceParityCombo = nullptr;
    DeviceSettingsPage *m_deviceSettingsPage = nullptr;
    // Relays drive equipment: the buttons stay locked until they show the device's state.
    bool m_outputsKnown = false;
    quint16 m_outputs = 0; // the relay states the device last confirmed
};
