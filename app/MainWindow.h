#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

class ConnectionPanel;
class DevicePlugin;
class ModbusClient;
class QStackedWidget;
class QTextEdit;

// The configurator's one window: the connection panel on top, the device page
// stack in the middle, the log and the two device buttons at the bottom.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void onRefreshPorts();
    void onConnect();
    void onDefaults();
    void onSaveToFlash();
    void onReadAll();
    void onAbout();
    void onFirmwareUpdate();

private:
    void createMenus();
    void createCentralWidget();
    QWidget *createBottomPanel();

    void logPlugins();
    void identifyDevice();
    // True while the connection made for `connectionId` is still the one in use; a
    // user's click handled during a request may have closed or replaced it.
    bool stillConnected(quint64 connectionId) const;
    // The plug-in that "Read All" and "Save to Flash" act on; with no connection, none
    // and a warning.
    DevicePlugin *commandPlugin();
    void endConnection();
    void setActivePlugin(DevicePlugin *plugin);
    // Takes an editor page out of the window. It is destroyed at once unless one of
    // its requests is still waiting for the device: then it is destroyed as soon as
    // no request waits any more, never under its own running code.
    void retirePage(QWidget *page);
    void destroyRetiredPages();
    void appendLog(const QString &message);
    QString aboutText() const;

    ModbusClient *m_client = nullptr;
    DevicePlugin *m_currentPlugin = nullptr;
    ConnectionPanel *m_panel = nullptr;
    QStackedWidget *m_pageStack = nullptr;
    QWidget *m_placeholderPage = nullptr;
    QTextEdit *m_log = nullptr;
    // Counts connection attempts and ends, so code resumed after a request can tell
    // whether its connection is still the current one.
    quint64 m_connectionId = 0;
    QList<QPointer<QWidget>> m_retiredPages;
};
