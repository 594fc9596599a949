#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The strip at the top of the main window: port, baud rate, parity and node of the
// device, the connection button, and the status row. It keeps its choices in the
// settings group "connection"; what its buttons do is the window's business.
class ConnectionPanel : public QWidget
{
    Q_OBJECT

public:
    // The port the user means: a listed port or a device path typed into the box.
    struct PortChoice
    {
        QString location; // what is opened; empty when there is nothing to open
        QString name; // what is stored as "portName"
    };
    enum class Status { Disconnected, Connecting, Connected };

    explicit ConnectionPanel(QWidget *parent = nullptr);

    PortChoice chosenPort() const;
    int baudRate() const;
    char parity() const; // 'N', 'E' or 'O'
    int node() const;

    // Refills the port list, keeping the selection and a typed path.
    void refreshPortList();
    // 9600, no parity, node 1; the port stays.
    void restoreDefaults();
    // Shows `port` (a listed port's entry, or typed) and the line setting and node; a baud
    // rate off the list leaves the box as it was.
    void setConnection(const QString &port, int baudRate, char parity, int node);
    void loadSettings();
    void saveSettings() const;

    // The status label alone.
    void showStatus(Status status);
    // A device session: "Disconnect", connected, and the firmware version ("-" if empty).
    void showSession(const QString &version);
    // No session: "Connect", disconnected, no version.
    void showNoSession();
    void setDeviceName(const QString &name);

signals:
    void refreshClicked();
    void connectClicked();
    void defaultsClicked();

private:
    QComboBox *m_portCombo = nullptr;
    QComboBox *m_baudCombo = nullptr;
    QComboBox *m_parityCombo = nullptr;
    QSpinBox *m_nodeSpin = nullptr;
    QPushButton *m_connectButton = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_deviceLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
};
