#pragma once

#include "DeviceSettingsPage.h"
#include "LivePoller.h"

#include <QPointer>
#include <QTabWidget>
#include <QWidget>

class ModbusClient;

// What every device editor shares: the client it works on, its tab pages, the "Device
// Settings" page and its live views. The plug-in's readFromDevice() and writeToDevice()
// come here.
class DeviceEditor : public QWidget
{
    Q_OBJECT

public:
    ~DeviceEditor() override;

    // Fills the editor from the device.
    virtual void readFromDevice() = 0;
    // Writes every value of the editor to the device.
    virtual void writeToDevice() = 0;
    // Stops every live view of the editor; a tick still waiting for the device is given up.
    void stopLiveViews();

protected:
    // `client` is not owned and may be nullptr; nothing here touches the device.
    DeviceEditor(ModbusClient *client, QWidget *parent);

    // Asked before every request, not once per operation: while one request waits, the
    // user or the host may disconnect or even delete the client.
    bool isOnline() const;
    QTabWidget *tabs() const { return m_tabs; }
    // The device's own serial settings, texts in the editor's translation context; the
    // editor places the page. Once per editor.
    DeviceSettingsPage *createDeviceSettingsTab(DeviceSettingsPage::Form form);
    // A live view of the editor: `tick` runs every `intervalMs` while it is started.
    LivePoller *addLiveView(int intervalMs, LivePoller::Tick tick);

    // Not owned; a QPointer because the host may delete it while a request waits.
    QPointer<ModbusClient> m_client;
    DeviceSettingsPage *m_deviceSettingsPage = nullptr;

private:
    QTabWidget *m_tabs = nullptr;
};
