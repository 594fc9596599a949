#pragma once

#include <QMainWindow>
#include <QString>

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

    void identifyDevice();
    void endConnection();
    void setStatus(const QString &text, const QString &styleSheet);
    void appendLog(const QString &message);
    QString aboutText() const;

    ModbusClient *m_client = nullptr;
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
};
