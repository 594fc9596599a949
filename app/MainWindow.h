#pragma once

#include <QMainWindow>
#include <QString>

class ConnectionPanel;
class DeviceSession;
class ModbusClient;
class QStackedWidget;
class QTextEdit;
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

private slots:
    void onRefreshPorts();
    void onConnect();
    void onDefaults();
    void onSaveToFlash();
    void onReadAll();
    void onAbout();
    void onFirmwareUpdate();
    void onScanBus();
    void onPortLost(const QString &reason);

private:
    // The traffic dock, the link health and the reconnect offer in the status bar.
    void createMonitoring();
    void createMenus();
    void createCentralWidget();
    QWidget *createBottomPanel();

    void logPlugins();
    void identifyDevice();
    // Ends the session; logs `message`, "Disconnected" if empty.
    void endConnection(const QString &message = QString());
    void warnNotConnected();
    void appendLog(const QString &message);
    QString aboutText() const;

    ModbusClient *m_client = nullptr;
    DeviceSession *m_session = nullptr;
    ConnectionPanel *m_panel = nullptr;
    QStackedWidget *m_pageStack = nullptr;
    QWidget *m_placeholderPage = nullptr;
    QTextEdit *m_log = nullptr;
    TrafficView *m_trafficView = nullptr;
    ReconnectOffer *m_reconnect = nullptr;
};
