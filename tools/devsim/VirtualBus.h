#pragma once

#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>

class QSocketNotifier;

// A simulated multi-drop RS-485 line: the master's end and one end per device, each a
// pseudo-terminal whose master side the bus holds. What the master sends reaches every
// device whose baud rate and parity are those the master's port is set to (8 data bits,
// 1 stop bit); the devices' answers go back to the master. A pseudo-terminal carries no
// real line setting, so the bus reads the one the master chose from the terminal
// settings of the master's end at each frame.
//
// On Linux a pseudo-terminal keeps the baud rate and the stop bits but drops the parity
// bit, and only the "odd" flag survives; the bus presets that flag so that one parity
// (even, or odd on a bus with odd devices and no even ones) tells itself from the other
// two. Those two, usually none and odd, look the same to the bus.
class VirtualBus : public QObject
{
    Q_OBJECT

public:
    explicit VirtualBus(QObject *parent = nullptr);
    ~VirtualBus() override;

    // Makes the master's end, with the link `<directory>/configurator` to it.
    bool open(const QString &directory);
    // Closes every end and removes the link; devices still on their ports lose them.
    void close();
    bool isOpen() const { return m_master.fd >= 0; }

    // A device's end: the path of the terminal its simulator opens, or empty on failure.
    QString addDevice(int node, int baudRate, QSerialPort::Parity parity);
    // A device at another line setting than the master's answers the requests to its node
    // with noise, as a real device does whose replies the master reads at the wrong rate.
    void setNoiseFromMismatched(bool on) { m_noise = on; }
    static bool isSupportedBaudRate(int baudRate);

    QString clientPath() const { return m_linkPath; } // the configurator's end
    QString errorString() const { return m_errorString; }

signals:
    // Noise went to the master for a request to `node`.
    void noiseSent(int node);

private:
    struct End
    {
        int fd = -1; // the master side, held by the bus
        int slaveFd = -1; // kept open so that the master side never reads end-of-file
        QSocketNotifier *notifier = nullptr;
        int node = 0;
        int baudRate = 0;
        QSerialPort::Parity parity = QSerialPort::NoParity;
    };

    bool openEnd(End *end, QString *slavePath);
    void closeEnd(End *end);
    void presetMasterParity();
    void fromMaster();
    void fromDevice(const End &device);
    bool hearsMaster(const End &device) const;
    bool fail(const QString &error);

    End m_master;
    QList<End> m_devices;
    QString m_linkPath;
    QString m_errorString;
    bool m_noise = false;
    // The parity the bus tells apart from the others.
    QSerialPort::Parity m_markedParity = QSerialPort::EvenParity;
};
