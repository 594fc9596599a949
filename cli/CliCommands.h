#pragma once

#include "CliOptions.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextStream>

class BusScanner;
class ConfigurationCloner;
class ConfigurationFile;
class DeviceConfiguration;
class DevicePlugin;
class FirmwareUploader;
class ModbusClient;
class ModbusExchange;
class RestartVerifier;

// Runs one tavrolix-cli command and answers its exit code. Results go to standard
// output (as JSON with --json), progress, log lines and reasons to standard error.
class CliCommands : public QObject
{
    Q_OBJECT

public:
    enum Exit {
        Done = 0,
        Negative = 1, // none found, files differ, some clones failed
        BadUsage = 2, // or a bad file; nothing was written to any device
        PortFailed = 3,
        DeviceFailed = 4, // no answer, wrong signature, refused or not verified
        Cancelled = 5,
    };

    explicit CliCommands(const CliOptions &options, QObject *parent = nullptr);
    ~CliCommands() override;

    int run();
    // Ctrl+C: the running step ends as soon as it can; a firmware upload still sends
    // the bootloader its exit command.
    void cancel();

private:
    int identify();
    int scan();
    int backup();
    int compare();
    int restore();
    int clone();
    int flash();
    int plugins();

    // Opens the port and reads the signature and version of the node; Done or the exit
    // code of the failure, with the reason printed.
    int openDevice(quint16 *signature, QString *version);
    // The file, checked; `plugin` and `configuration` serve its device type.
    int loadFile(ConfigurationFile *file, DevicePlugin **plugin,
                 DeviceConfiguration **configuration);
    // The file loaded and checked, the port opened, and the node serving the file's type.
    int openForFile(ConfigurationFile *file, DevicePlugin **plugin,
                    DeviceConfiguration **configuration);
    // The device serves the file's type: Done, or the exit code with the reason printed.
    int checkDevice(const ConfigurationFile &file, quint16 signature,
                    const DeviceConfiguration *configuration);
    // DeviceFailed, or PortFailed when the port went away, or Cancelled.
    int deviceFailure(const QString &message);
    int fail(int code, const QString &message);
    QJsonObject identity(int node, const CliOptions::Setting &line, quint16 signature,
                         const QString &version) const;
    void result(const QString &text, const QJsonValue &json);
    void progress(int percent);
    // --trace: one decoded line per exchange on standard error.
    void trace(const ModbusExchange &exchange);

    const CliOptions m_options;
    QTextStream m_out;
    QTextStream m_err;
    ModbusClient *m_client = nullptr;
    QPointer<BusScanner> m_scanner;
    QPointer<ConfigurationCloner> m_cloner;
    QPointer<FirmwareUploader> m_uploader;
    QPointer<RestartVerifier> m_verifier;
    bool m_cancelled = false;
    bool m_terminal = false; // standard error is a terminal: a progress bar
    int m_lastPercent = -1;
};
