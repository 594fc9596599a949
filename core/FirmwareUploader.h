#pragma once

#include "ModbusExchange.h"
#include "TavrolixCoreExport.h"

#include <QObject>

class FirmwareImage;
class QFileDevice;
class PortWatcher;
class QModbusRtuSerialClient;

// Uploads a firmware image to a device's bootloader over a Modbus RTU link of its own
// (unit 16, 115200 8N1): waits until the rebooted module answers with the bootloader's
// signature, checks the image's checksum, sends the image line by line with a command
// and a status read for each line, then tells the bootloader to leave. Needs no widgets:
// it runs under a plain QCoreApplication.
//
// Everything runs on the calling thread in nested event loops, so the caller's events
// (a cancel request among them) are processed during the upload. Deleting the uploader
// from such an event ends the upload at once.
class TAVROLIX_CORE_EXPORT FirmwareUploader : public QObject
{
    Q_OBJECT

public:
    // How a log line is meant to be shown. The reboot request and a cancel while waiting
    // for the bootloader carry the "[INFO]" tag but ask for attention: they are warnings.
    enum class Level { Ok, Info, Warning, Error, Success };
    Q_ENUM(Level)

    enum class Result {
        Success,
        Cancelled,
        NoPort,
        NoFile,
        LinkFailed, // the port did not open
        ImageRejected, // checksum record missing or wrong
        TransferFailed, // the bootloader did not take a line, or the exit command
        Busy, // an upload already runs; nothing was done
        LinkLost // the port went away during the upload
    };
    Q_ENUM(Result)

    explicit FirmwareUploader(QObject *parent = nullptr);
    ~FirmwareUploader() override;

    bool isRunning() const { return m_running; }

    // Uploads `file` (open for reading; it stays open, and is not owned) over the port
    // `portName` and returns when the upload has ended in any way, after finished().
    // There is no overall time limit: the wait for the bootloader ends with cancel().
    Result upload(const QString &portName, QFileDevice &file);

    // Checks the image's checksum and logs the verdict; leaves the file at its start.
    bool verifyImage(QFileDevice &file);

    // The bootloader link: opening logs its outcome; closing ends every request still
    // waiting. The register operations return 0 on success, 3 without an open link and
    // 5 when four attempts brought no valid reply; reads write to `dst` only on success,
    // at most `count` values.
    bool openLink(const QString &portName);
    void closeLink();
    quint8 readInputRegisters(unsigned short *dst, unsigned short start, unsigned short count,
                              int serverAddress, int timeoutMs);
    quint8 readHoldingRegisters(unsigned short *dst, unsigned short start, unsigned short count,
                                int serverAddress, int timeoutMs);
    quint8 writeRegisters(unsigned short *src, unsigned short start, unsigned short count,
                          int serverAddress, int timeoutMs);
    quint8 writeRegister(short value, unsigned short address, int serverAddress, int timeoutMs);

public slots:
    // Asks the running upload to stop. It is noticed while waiting for the bootloader and
    // before each line is sent; after the last line the upload still ends in success.
    void cancel();

signals:
    // The port and the file are there; the link is opened next.
    void started();
    void logLine(FirmwareUploader::Level level, const QString &message);
    void progressChanged(int percent);
    void finished(FirmwareUploader::Result result);
    // Every attempt of a register operation on the link, as it ended.
    void exchangeFinished(const ModbusExchange &exchange);

private:
    enum class RegisterOp { ReadInput, ReadHolding, Write };

    Result run(const QString &portName, QFileDevice &file);
    bool waitForBootloader(unsigned short identity[3]);
    // Sends every line of the image, then the exit command; logs how it ended.
    Result transfer(FirmwareImage &image);
    // Waits `ms` milliseconds with events processed; false when this object was deleted
    // meanwhile.
    bool pause(int ms);
    // The end of a transfer whose request failed: the lost port when that was the cause
    // (logged once), otherwise `message` and TransferFailed.
    Result transferFailure(const QString &message);
    bool reportLoss();
    void losePort(const QString &reason);
    quint8 registerOp(RegisterOp op, unsigned short *values, unsigned short start,
                      unsigned short count, int serverAddress, int timeoutMs);

    QModbusRtuSerialClient *m_modbus = nullptr;
    PortWatcher *m_portWatcher = nullptr;
    QString m_lossReason; // why the port went away during this upload
    bool m_cancelled = false;
    bool m_running = false;
    // Set when the application quits during an upload: nested event loops no longer
    // run, so every further exchange fails at once and the upload must end.
    bool m_quitting = false;
};
