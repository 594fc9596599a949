#pragma once

#include "ModbusExchange.h"
#include "TavrolixCoreExport.h"

#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

class QEventLoop;
class QModbusDataUnit;
class QModbusReply;
class QModbusRtuSerialClient;
class PortWatcher;

// The one Modbus RTU master of the program. Every request blocks its caller in a
// nested event loop until the reply is in, failed or timed out (700 ms at most);
// on failure the outputs stay untouched and lastError() tells why.
class TAVROLIX_CORE_EXPORT ModbusClient : public QObject
{
    Q_OBJECT

public:
    explicit ModbusClient(QObject *parent = nullptr);
    ~ModbusClient() override;

    bool connect(const QString &portName, int baudRate, char parity, int dataBits, int stopBits,
                 int slaveAddress);
    void disconnect();
    void setSlaveAddress(int address);
    int slaveAddress() const { return m_slaveAddress; }
    bool isConnected() const { return m_connected; }
    // The port of the open connection, or of the last one.
    QString portName() const { return m_portName; }
    QString lastError() const { return m_lastError; }
    // The reason of the last failure without the client's own wording around it: for a
    // failed connect the port's error text alone, otherwise the same as lastError().
    QString lastErrorReason() const { return m_lastReason; }
    // True when the last failed request was answered with an exception reply: the device
    // heard it and refused it. A timeout or a broken reply leaves open what it did.
    bool lastFailureRefused() const { return m_lastRefused; }
    // Failed requests since construction. Callers that cannot see the individual
    // results of a sequence (a plug-in's writeToDevice) compare it before and after.
    quint64 failureCount() const { return m_failureCount; }
    // Requests whose callers are waiting right now, nested waits included. Code that
    // must not pull an object from under a waiting caller checks it.
    int pendingWaits() const { return m_pendingWaits; }
    // True while a request would not go out at once: a caller waits for its reply, or
    // the line is kept quiet after an abandoned request. Periodic callers skip then.
    bool isBusy() const;

    // Device baud rates; devices store their own rate as an index into this list.
    static const QList<int> &baudRates();

    bool readCoils(quint16 start, quint16 count, QList<bool> &values);
    bool readDiscreteInputs(quint16 start, quint16 count, QList<bool> &values);
    bool readHoldingRegisters(quint16 start, quint16 count, QList<quint16> &values);
    bool readInputRegisters(quint16 start, quint16 count, QList<quint16> &values);
    bool readHoldingRegister(quint16 address, quint16 &value);
    bool readInputRegister(quint16 address, quint16 &value);
    bool readSignature(quint16 &signature);
    bool readVersion(quint16 &major, quint16 &minor);

    bool writeSingleCoil(quint16 address, bool value);
    bool writeCoils(quint16 start, const QList<bool> &values);
    bool writeRegister(quint16 address, quint16 value);
    bool writeRegisters(quint16 start, const QList<quint16> &values);

    // Waits for a reply handed out by the toolkit client. True when it finished
    // without error; the reply then belongs to the caller. On false the reply is
    // released as soon as the toolkit no longer needs it.
    bool waitForReply(QModbusReply *reply);

signals:
    void connected();
    void disconnected();
    void errorOccurred(const QString &error);
    // No caller waits any more; emitted before the last one goes on.
    void waitsFinished();
    // Every request that ended, refused ones included, in the order they ended.
    void exchangeFinished(const ModbusExchange &exchange);
    // The port went away while open (adapter pulled, device node gone) for `reason`: the
    // waiting request failed with "Port lost", and the client is disconnected (emitted
    // after disconnected()).
    void portLost(const QString &reason);

private:
    bool readBits(int registerType, quint16 start, quint16 count, QList<bool> &values);
    bool readWords(int registerType, quint16 start, quint16 count, QList<quint16> &values);
    bool write(const QModbusDataUnit &unit);
    // Sends the unit and waits; on true *result holds the reply's data unit.
    // Whether `answer` can be the device's answer to `sent`.
    using AnswerCheck = bool (*)(const QModbusDataUnit &sent, const QModbusDataUnit &answer);
    bool transact(const QModbusDataUnit &unit, bool isWrite, QModbusDataUnit *result,
                  AnswerCheck check);
    bool exchange(const QModbusDataUnit &unit, bool isWrite, QModbusDataUnit *result,
                  AnswerCheck check, ModbusExchange &record);
    // Records the failure in the exchange under way, if any.
    void fail(const QString &error, ModbusExchange::Result kind, quint8 exceptionCode = 0);
    // "Not connected", or why the port was lost if that is what ended the connection.
    void failDisconnected();
    void losePort(const QString &reason);
    // Fails the request for a reply that cannot be its answer, and keeps the line quiet
    // long enough for whatever else is on its way to be dropped unread.
    void refuseReply();
    QString exceptionText(int code) const;
    // Holds the next request back while the toolkit may still be answered for one the
    // guard gave up on, and until the line has been quiet since. False when the
    // connection went away meanwhile or the line never went quiet.
    bool waitForQuietLine();
    // Runs `loop` for at most `timeoutMs`, counted as a waiting caller. False when this
    // client was destroyed meanwhile: the caller must then return at once.
    bool runWait(QEventLoop &loop, int timeoutMs);
    bool lineSettling() const;
    void noteLineActivity();

    QModbusRtuSerialClient *m_modbus = nullptr;
    bool m_connected = false;
    int m_slaveAddress = 1;
    QString m_lastError;
    QString m_lastReason;
    bool m_lastRefused = false;
    QMutex m_mutex;
    const int m_timeout = 500;
    quint64 m_failureCount = 0;
    int m_pendingWaits = 0;

    struct Abandoned
    {
        QPointer<QModbusReply> reply;
        qint64 deadlineMs; // by then the toolkit has given up on it, or never will
    };
    QList<Abandoned> m_abandoned;
    QElapsedTimer m_clock;
    // The line must have been quiet this long since m_lastActivityMs before a request goes out.
    int m_quietNeededMs = 0;
    qint64 m_lastActivityMs = 0;

    // The exchanges under way, innermost last: nested requests finish before outer ones.
    QList<ModbusExchange *> m_records;
    PortWatcher *m_portWatcher = nullptr;
    QString m_portName;
    // Why the port was lost; set until the next connect.
    QString m_lossReason;
};
