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
//
// The editor also knows whether the user changed anything since the last read or save
// ("modified"): the host, which does not link this library, reads the property and
// connects to modifiedChanged by name.
class DeviceEditor : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool modified READ isModified WRITE setModified NOTIFY modifiedChanged)

public:
    ~DeviceEditor() override;

    // True when the user changed a value since the last read or save to flash, or made
    // the device act at once (a relay, a delay), which a power cycle would lose.
    bool isModified() const { return m_modified; }
    // The editor clears it at each read; the host after a save to flash.
    void setModified(bool modified);

    // Fills the editor from the device.
    virtual void readFromDevice() = 0;
    // Writes every value of the editor to the device.
    virtual void writeToDevice() = 0;
    // Stops every live view of the editor; a tick still waiting for the device is given up.
    void stopLiveViews();

signals:
    void modifiedChanged(bool modified);

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
    // `control` holds no setting of the device (a view option, a text only sent live):
    // the user's changes to it leave the editor unmodified.
    static void keepOutOfModified(QWidget *control);

    // Not owned; a QPointer because the host may delete it while a request waits.
    QPointer<ModbusClient> m_client;
    DeviceSettingsPage *m_deviceSettingsPage = nullptr;

private:
    // Connects the user's edits of the editor's controls, once the derived constructor
    // has built them. Only signals of the user's own input count: what the editor sets
    // from the device never marks it.
    void watchEdits();

    QTabWidget *m_tabs = nullptr;
    bool m_modified = false;
};
