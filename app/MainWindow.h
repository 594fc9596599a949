#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

class DevicePlugin;
class ModbusClient;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
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
    // The port the user means: a listed port or a device path typed into the box.
    struct PortChoice
    {
        QString location; // what is opened; empty when there is nothing to open
        QString name;     // what is stored as "portName"
    };

    void createMenus();
    void createCentralWidget();
    QWidget *createConnectionPanel();
    QWidget *createBottomPanel();

    void refreshPortList();
    PortChoice chosenPort() const;
    void loadSettings();
    void saveSettings();

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
    void setStatus(const QString &text, const QString &styleSheet);
    void appendLog(const QString &message);
    QString aboutText() const;

    ModbusClient *m_client = nullptr;
    DevicePlugin *m_currentPlugin = nullptr;
    QComboBox *m_portCombo = nullptr;
    QComboBox *m_baudCombo = nullptr;
    QComboBox *m_parityCombo = nullptr;
    QSpinBox *m_nodeSpin = nullptr;
    QPushButton *m_connectButton = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
    QLabel *m_deviceLabel = nullptr;
    QStackedWidget *m_pageStack = nullptr;
    QWidget *m_placeholderPage = nullptr;
    QTextEdit *m_log = nullptr;
    // Counts connection attempts and ends, so code resumed after a request can tell
    // whether its connection is still the current one.
    quint64 m_connectionId = 0;
    QList<QPointer<QWidget>> m_retiredPages;
};
