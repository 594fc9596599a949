#pragma once

#include "TavrolixCoreExport.h"

#include <QElapsedTimer>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>

class QEventLoop;
class QModbusReply;
class QModbusRtuSerialClient;

// Finds the devices on a line: for each line setting (baud rate and parity, 8 data bits,
// 1 stop bit) it opens its own RTU client on the port and probes each node with one read
// of input register 0. Any well-formed reply, an exception reply included, means a device
// answers there. Bytes that arrive during a probe without making a reply (a bad checksum,
// another node's answer, garbage) count as noise at that setting, never as a device.
// run() blocks its caller in a nested event loop; cancel() ends it within one probe.
class TAVROLIX_CORE_EXPORT BusScanner : public QObject
{
    Q_OBJECT

public:
    struct Setting
    {
        int baudRate = 9600;
        char parity = 'N'; // 'N', 'E' or 'O'
        bool operator==(const Setting &other) const
        {
            return baudRate == other.baudRate && parity == other.parity;
        }
    };

    struct Device
    {
        int node = 0;
        Setting setting;
        bool refused = false; // answered with an exception: no signature read
        quint16 signature = 0;
        int versionMajor = -1; // -1: the version could not be read
        int versionMinor = -1;
        int replyMs = 0; // from the request to the end of the reply
    };

    enum class Result {
        Finished,
        Cancelled,
        PortFailed, // the port could not be opened, or went away
    };
    Q_ENUM(Result)

    static constexpr int MinAllowanceMs = 10;
    static constexpr int MaxAllowanceMs = 1000;
    static constexpr int DefaultAllowanceMs = 50;

    explicit BusScanner(QObject *parent = nullptr);
    ~BusScanner() override;

    void setPort(const QString &portName) { m_portName = portName; }
    // Nodes in the order they are probed; out-of-range ones (not 1..247) are dropped.
    void setNodes(const QList<int> &nodes);
    QList<int> nodes() const { return m_nodes; }
    // The settings to try, in the order of order().
    void setSettings(const QList<Setting> &settings) { m_settings = settings; }
    QList<Setting> settings() const { return m_settings; }
    // What a device may take beyond the frames themselves before a probe gives up;
    // clamped to MinAllowanceMs..MaxAllowanceMs.
    void setAllowanceMs(int ms);
    int allowanceMs() const { return m_allowanceMs; }
    // Once every setting is done, the nodes that stayed silent are probed once more
    // at their setting with four times the allowance.
    void setReprobeSilent(bool on) { m_reprobeSilent = on; }
    // The scan ends after the first device found.
    void setStopAtFirst(bool on) { m_stopAtFirst = on; }

    // `chosen` in the order a scan tries them: `current` first, then 9600, 19200 and
    // 115200 without parity, then the rest as given. Only settings of `chosen` appear.
    static QList<Setting> order(const QList<Setting> &chosen, const Setting &current);
    // How long a request at `setting` waits for a reply of `replyBytes`: the frames'
    // time on the line and `allowanceMs`.
    static int probeTimeoutMs(const Setting &setting, int allowanceMs, int replyBytes = 7);

    Result run();
    void cancel();
    bool isRunning() const { return m_running; }
    QString errorString() const { return m_errorString; }
    QList<Device> devices() const { return m_found; }

signals:
    void progress(int done, int total, int msLeft);
    void deviceFound(const BusScanner::Device &device);
    // A setting has been probed through; `noise` probes got bytes that made no reply.
    void settingFinished(const BusScanner::Setting &setting, int noise);
    void finished(BusScanner::Result result);

private:
    enum class Probe { Answered, Refused, Silent, Noise, Cancelled, PortFailed };

    bool open(const Setting &setting);
    void close();
    // One request for input registers [start, start + count) at `node`.
    Probe request(int node, int start, int count, int timeoutMs, QList<quint16> *values,
                  int *elapsedMs);
    // Probes `node`; a device found is reported and kept.
    Probe probe(int node, const Setting &setting, int allowanceMs);
    // Waits until no byte has arrived for `quietMs` (at most a second).
    void waitForQuiet(int quietMs);
    void step(int total);
    Result end(Result result);

    QString m_portName;
    QList<int> m_nodes;
    QList<Setting> m_settings;
    int m_allowanceMs = DefaultAllowanceMs;
    bool m_reprobeSilent = false;
    bool m_stopAtFirst = false;

    QPointer<QModbusRtuSerialClient> m_modbus;
    QEventLoop *m_loop = nullptr; // the nested wait that cancel() ends
    bool m_running = false;
    bool m_cancelled = false;
    int m_bytesSeen = 0; // readyRead signals of the port since the probe began
    int m_done = 0;
    QElapsedTimer m_clock; // since the scan began
    QString m_errorString;
    QList<Device> m_found;
};

Q_DECLARE_METATYPE(BusScanner::Device)
Q_DECLARE_METATYPE(BusScanner::Setting)
