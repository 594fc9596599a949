#pragma once

#include <QMainWindow>
#include <QString>

class ConnectionPanel;
class DeviceSession;
class ModbusClient;
class QStackedWidget;
class QTextEdit;
class UnsavedChangesGuard;
class ReconnectOffer;
class TrafficView;

// The configurator's one window: the connection panel on top, the device page
// stack in the middle, the log and the two device buttons at the bottom.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void onRefreshPorts();
    void onConnect();
    void onDefaults();
    void onSaveToFlash();
    void onReadAll();
    void onAbout();
    void onFirmwareUpdate();
    void onScanBus();
    void onRegisterView();
    void onPortLost(const QString &reason);

private:
    // The traffic dock, the link health and the reconnect offer in the status bar.
    void createMonitoring();
    void createMenus();
    void createCentralWidget();
    QWidget *createBottomPanel();

    void logPlugins();
    // `hint` is logged when the device does not tell its signature.
    void identifyDevice(const QString &hint);
    // Ends the session; logs `message`, "Disconnected" if empty.
    void endConnection(const QString &message = QString());
    // Ends the session for a command that opens the port itself, once the user agrees
    // to `question`; false when they do not.
    bool releasePort(const QString &title, const QString &question);
    void warnNotConnected();
    void appendLog(const QString &message);
    QString aboutText() const;

    ModbusClient *m_client = nullptr;
    DeviceSession *m_session = nullptr;
    ConnectionPanel *m_panel = nullptr;
    QStackedWidget *m_pageStack = nullptr;
    QWidget *m_placeholderPage = nullptr;
    QTextEdit *m_log = nullptr;
    UnsavedChangesGuard *m_changes = nullptr;
    TrafficView *m_trafficView = nullptr;
    ReconnectOffer *m_reconnect = nullptr;
};
