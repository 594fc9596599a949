#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class DeviceModel;
class DeviceSimulator;
class MainWindow;
class MessageBoxAnswerer;
class ModbusClient;
class QWidget;
class VirtualSerialPair;

// A simulated device on a virtual null-modem pair, talked to through the bench's own
// Modbus client or through the configurator's main window, as a user would.
class DeviceBench
{
public:
    DeviceBench();
    ~DeviceBench();
    DeviceBench(const DeviceBench &) = delete;
    DeviceBench &operator=(const DeviceBench &) = delete;

    // Makes the pair; once per test case.
    bool open();
    QString errorString() const { return m_errorString; }
    QString clientPath() const;

    // Powers up a fresh device of `model` (nullptr: plain registers) at node 1, 9600 8N1,
    // in place of the one before; it keeps what a save stores in `statePath`, if any.
    bool start(std::unique_ptr<DeviceModel> model, const QString &statePath = QString());
    // Powers the device down: the client's requests go unanswered.
    void stop();
    DeviceSimulator *device() const { return m_device.get(); }
    DeviceModel *model() const { return m_model.get(); }

    // connectClient() opens the bench's own client at 9600 8N1, node 1.
    ModbusClient *client() const { return m_client.get(); }
    bool connectClient();

    // The requests received since clearRequests(): "3@100x6" reads six registers from 100,
    // "16@100=1,3" writes two (coils as 0 and 1).
    QStringList requests() const;
    void clearRequests();

    // A new main window in place of the one before, on the pair's port, its message boxes
    // answered Yes.
    MainWindow *openWindow();
    MainWindow *window() const { return m_window.get(); }
    MessageBoxAnswerer *answerer() const { return m_answerer.get(); }
    // Clicks the window's button `name` + "Button" ("connect", "readAll", "saveToFlash");
    // false when there is none. It returns when the window is done with the click.
    bool click(const QString &name);
    // The device page the window shows; nullptr without a session.
    QWidget *editor() const;
    void closeWindow();

private:
    std::unique_ptr<VirtualSerialPair> m_pair;
    std::unique_ptr<DeviceSimulator> m_device;
    std::unique_ptr<DeviceModel> m_model;
    std::unique_ptr<ModbusClient> m_client;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MessageBoxAnswerer> m_answerer;
    QString m_errorString;
};
