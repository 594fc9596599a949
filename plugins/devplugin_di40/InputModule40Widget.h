#pragma once

#include "DeviceEditor.h"

#include <array>
#include <bitset>

class ModbusClient;
class QComboBox;
class QLabel;
class QSpinBox;

// Editor of the 40-input digital module: live input states with an optional 500 ms
// refresh, the debounce delay of each input (written to the device as soon as it
// changes) and the device's own serial settings.
class InputModule40Widget : public DeviceEditor
{
    Q_OBJECT

public:
    static constexpr int InputCount = 40;

    // `client` is not owned and may be nullptr; the constructor does not touch the device.
    InputModule40Widget(ModbusClient *client, QWidget *parent = nullptr);

    void readFromDevice() override;
    void writeToDevice() override;
    // Shows input `index` (0-based) as active (green) or inactive (grey).
    void updateInputDisplay(int index, bool active);

private slots:
    void onDelayChanged(int value);
    void onRefreshTimerTimeout();

private:
    QWidget *createInputsTab();
    QWidget *createDelaysTab();
    bool readLiveStates(const LivePoller::StillWanted &stillWanted);
    void applyDelayToAll();

    LivePoller *m_refresh = nullptr;
    std::array<QLabel *, InputCount> m_inputIndicators{};
    std::array<QSpinBox *, InputCount> m_delaySpins{};
    QSpinBox *m_applyAllSpin = nullptr;
    // Delays shown on the page that the device has not taken (their write failed);
    // writeToDevice() sends them again so that a save never flashes the old values.
    std::bitset<InputCount> m_unsentDelays;
};
