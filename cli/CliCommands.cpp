#include "CliCommands.h"

#include "BusScanner.h"
#include "ConfigurationCloner.h"
#include "ConfigurationFile.h"
#include "ConfigurationTransfer.h"
#include "DevicePlugin.h"
#include "ExchangeFormatter.h"
#include "FirmwareUploader.h"
#include "ModbusClient.h"
#include "PluginManager.h"
#include "RestartVerifier.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <unistd.h>

namespace {

QString deviceNameOf(quint16 signature)
{
    const DevicePlugin *plugin = PluginManager::instance()->pluginForSignature(signature);
    return plugin ? plugin->deviceName() : QStringLiteral("unknown"); // as in JSON
}

QString lineText(const CliOptions::Setting &line)
{
    return QStringLiteral("%1 %2").arg(line.baudRate).arg(QLatin1Char(line.parity));
}

} // namespace

CliCommands::CliCommands(const CliOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_out(stdout)
    , m_err(stderr)
    , m_client(new ModbusClient(this))
    , m_terminal(isatty(STDERR_FILENO) != 0)
{
    if (m_options.trace)
        connect(m_client, &ModbusClient::exchangeFinished, this, &CliCommands::trace);
}

CliCommands::~CliCommands() = default;

int CliCommands::run()
{
    switch (m_options.command) {
    case CliOptions::Command::Identify:
        return identify();
    case CliOptions::Command::Scan:
        return scan();
    case CliOptions::Command::Backup:
        return backup();
    case CliOptions::Command::Compare:
        return compare();
    case CliOptions::Command::Restore:
        return restore();
    case CliOptions::Command::Clone:
        return clone();
    case CliOptions::Command::Flash:
        return flash();
    case CliOptions::Command::Plugins:
        return plugins();
    }
    return BadUsage;
}

void CliCommands::cancel()
{
    m_cancelled = true;
    m_err << tr("Cancelling...") << Qt::endl;
    if (m_uploader)
        m_uploader->cancel();
    else if (m_scanner)
        m_scanner->cancel();
    else if (m_cloner)
        m_cloner->cancel();
    else if (m_verifier)
        m_verifier->cancel();
    else
        m_client->disconnect(); // the request waiting fails at once
}

int CliCommands::identify()
{
    quint16 signature = 0;
    QString version;
    if (const int failed = openDevice(&signature, &version))
        return failed;
    result(tr("node %1, %2: %3 (signature %4), firmware %5")
               .arg(m_options.node)
               .arg(lineText(m_options.line), deviceNameOf(signature))
               .arg(signature)
               .arg(version.isEmpty() ? QStringLiteral("-") : version),
           identity(m_options.node, m_options.line, signature, version));
    return Done;
}

int CliCommands::scan()
{
    BusScanner scanner;
    m_scanner = &scanner;
    scanner.setPort(m_options.port);
    scanner.setNodes(m_options.nodes);
    scanner.setAllowanceMs(m_options.allowanceMs);
    QList<BusScanner::Setting> chosen;
    for (int baudRate : m_options.baudRates) {
        for (char parity : m_options.parities)
            chosen.append({baudRate, parity});
    }
    scanner.setSettings(
        BusScanner::order(chosen, {m_options.line.baudRate, m_options.line.parity}));
    connect(&scanner, &BusScanner::progress, this,
            [this](int done, int total, int) { progress(total ? 100 * done / total : 100); });
    connect(&scanner, &BusScanner::deviceFound, this, [this](const BusScanner::Device &device) {
        if (m_terminal)
            m_err << '\r';
        m_err << tr("Found node %1 at %2 baud, parity %3.")
                     .arg(device.node)
                     .arg(device.setting.baudRate)
                     .arg(QLatin1Char(device.setting.parity))
              << Qt::endl;
    });
    const BusScanner::Result ended = scanner.run();
    progress(100);
    if (ended == BusScanner::Result::PortFailed)
        return fail(PortFailed, scanner.errorString());

    QJsonArray devices;
    QStringList lines;
    for (const BusScanner::Device &device : scanner.devices()) {
        const CliOptions::Setting line{device.setting.baudRate, device.setting.parity};
        const QString version = device.versionMajor < 0
            ? QString()
            : QStringLiteral("%1.%2").arg(device.versionMajor).arg(device.versionMinor);
        QJsonObject object = identity(device.node, line, device.signature, version);
        object.insert(QStringLiteral("replyMs"), device.replyMs);
        if (device.refused) {
            object.insert(QStringLiteral("signature"), QJsonValue::Null);
            object.insert(QStringLiteral("device"), QStringLiteral("unknown"));
            object.insert(QStringLiteral("refused"), true);
        }
        devices.append(object);
        lines << (device.refused ? tr("node %1, %2: answers with exceptions only, %3 ms")
                                       .arg(device.node)
                                       .arg(lineText(line))
                                       .arg(device.replyMs)
                                 : tr("node %1, %2: %3 (signature %4), firmware %5, %6 ms")
                                       .arg(device.node)
                                       .arg(lineText(line), deviceNameOf(device.signature))
                                       .arg(device.signature)
                                       .arg(version.isEmpty() ? QStringLiteral("-") : version)
                                       .arg(device.replyMs));
    }
    if (lines.isEmpty())
        lines << tr("No device answered.");
    result(lines.join(QLatin1Char('\n')), devices);
    if (ended == BusScanner::Result::Cancelled)
        return Cancelled;
    return devices.isEmpty() ? Negative : Done;
}

int CliCommands::backup()
{
    quint16 signature = 0;
    QString version;
    if (const int failed = openDevice(&signature, &version))
        return failed;
    DevicePlugin *plugin = PluginManager::instance()->pluginForSignature(signature);
    DeviceConfiguration *configuration =
        PluginManager::instance()->configurationForSignature(signature);
    if (!plugin || !configuration)
        return fail(DeviceFailed,
                    tr("No plug-in keeps the configuration of device type %1.").arg(signature));
    ConfigurationFile file;
    ConfigurationTransfer transfer(m_client, plugin, configuration);
    const ConfigurationTransfer::Result read = transfer.read(&file);
    if (!read.ok())
        return deviceFailure(read.message);
    file.node = m_options.node;
    file.baudRate = m_options.line.baudRate;
    file.parity = m_options.line.parity;
    QString error;
    if (!file.save(m_options.file, &error))
        return fail(BadUsage, error);
    result(tr("Configuration of %1 at node %2 saved to %3.")
               .arg(file.deviceName)
               .arg(m_options.node)
               .arg(m_options.file),
           QJsonObject{{QStringLiteral("file"), m_options.file},
                       {QStringLiteral("signature"), int(signature)},
                       {QStringLiteral("device"), file.deviceName},
                       {QStringLiteral("version"), file.firmwareVersion},
                       {QStringLiteral("blocks"), int(file.blocks.size())}});
    return Done;
}

int CliCommands::compare()
{
    ConfigurationFile file;
    DevicePlugin *plugin = nullptr;
    DeviceConfiguration *configuration = nullptr;
    if (const int failed = openForFile(&file, &plugin, &configuration))
        return failed;
    ConfigurationTransfer transfer(m_client, plugin, configuration);
    QList<ConfigurationTransfer::Row> rows;
    const ConfigurationTransfer::Result compared = transfer.compare(file, &rows);
    if (!compared.ok())
        return deviceFailure(compared.message);

    QJsonArray differences;
    QStringList lines;
    for (const ConfigurationTransfer::Row &row : std::as_const(rows)) {
        if (!row.differs)
            continue;
        const QString device = ConfigurationTransfer::valueText(row, row.device);
        const QString inFile = ConfigurationTransfer::valueText(row, row.file);
        lines << tr("%1: device %2, file %3").arg(row.label, device, inFile);
        differences.append(QJsonObject{{QStringLiteral("field"), row.field},
                                       {QStringLiteral("device"), device},
                                       {QStringLiteral("file"), inFile}});
    }
    if (lines.isEmpty())
        lines << tr("The device holds the file's settings.");
    result(lines.join(QLatin1Char('\n')),
           QJsonObject{{QStringLiteral("differences"), differences}});
    return differences.isEmpty() ? Done : Negative;
}

int CliCommands::restore()
{
    ConfigurationFile file;
    DevicePlugin *plugin = nullptr;
    DeviceConfiguration *configuration = nullptr;
    if (const int failed = openForFile(&file, &plugin, &configuration))
        return failed;
    ConfigurationTransfer transfer(m_client, plugin, configuration);
    const ConfigurationTransfer::Result restored =
        transfer.restore(file, {m_options.applySerial, m_options.save});
    if (!restored.ok())
        return deviceFailure(restored.message);
    result(m_options.save ? tr("Restored to node %1 and saved to flash; blocks written: %2.")
                                .arg(m_options.node)
                                .arg(restored.blocksWritten)
                          : tr("Restored to node %1, not saved to flash; blocks written: %2.")
                                .arg(m_options.node)
                                .arg(restored.blocksWritten),
           QJsonObject{{QStringLiteral("node"), m_options.node},
                       {QStringLiteral("blocksWritten"), restored.blocksWritten},
                       {QStringLiteral("saved"), m_options.save}});
    return Done;
}

int CliCommands::clone()
{
    ConfigurationFile file;
    DevicePlugin *plugin = nullptr;
    DeviceConfiguration *configuration = nullptr;
    if (const int bad = loadFile(&file, &plugin, &configuration))
        return bad;
    if (!m_client->connect(m_options.port, m_options.line.baudRate, m_options.line.parity, 8, 1,
                           m_options.nodes.first()))
        return fail(PortFailed, m_client->lastError());
    ConfigurationCloner cloner(m_client, plugin, configuration);
    m_cloner = &cloner;
    // Machine words in JSON, translated in the text lines.
    static const char *const outcomes[] = {QT_TR_NOOP("done"), QT_TR_NOOP("skipped"),
                                           QT_TR_NOOP("failed"), QT_TR_NOOP("cancelled")};
    connect(&cloner, &ConfigurationCloner::nodeFinished, this,
            [this](const ConfigurationCloner::NodeResult &r) {
                if (!m_options.json) {
                    const QString outcome = tr(outcomes[int(r.outcome)]);
                    m_out << (r.detail.isEmpty()
                                  ? tr("node %1: %2").arg(r.node).arg(outcome)
                                  : tr("node %1: %2 (%3)").arg(r.node).arg(outcome, r.detail))
                          << Qt::endl;
                }
            });
    const QList<ConfigurationCloner::NodeResult> results =
        cloner.run(file, m_options.nodes, {m_options.applySerial, m_options.save});
    QJsonArray array;
    for (const ConfigurationCloner::NodeResult &r : results) {
        array.append(
            QJsonObject{{QStringLiteral("node"), r.node},
                        {QStringLiteral("result"), QLatin1String(outcomes[int(r.outcome)])},
                        {QStringLiteral("detail"), r.detail}});
    }
    if (m_options.json)
        result(QString(), array);
    if (m_cancelled)
        return Cancelled;
    if (!m_client->isConnected())
        return fail(PortFailed, m_client->lastError());
    return ConfigurationCloner::allDone(results) ? Done : Negative;
}

int CliCommands::flash()
{
    QFile image(m_options.file);
    if (!image.open(QIODevice::ReadOnly))
        return fail(BadUsage,
                    tr("Could not read %1: %2").arg(m_options.file, image.errorString()));
    FirmwareUploader uploader;
    m_uploader = &uploader;
    connect(&uploader, &FirmwareUploader::logLine, this,
            [this](FirmwareUploader::Level, const QString &line) {
                if (m_terminal && m_lastPercent >= 0)
                    m_err << '\r' << QString(60, QLatin1Char(' ')) << '\r';
                m_err << line << Qt::endl;
                if (m_terminal && m_lastPercent >= 0) {
                    const int percent = m_lastPercent;
                    m_lastPercent = -1;
                    progress(percent);
                }
            });
    connect(&uploader, &FirmwareUploader::progressChanged, this, &CliCommands::progress);
    if (m_options.trace)
        connect(&uploader, &FirmwareUploader::exchangeFinished, this, &CliCommands::trace);
    if (!uploader.verifyImage(image))
        return fail(
            BadUsage,
            tr("%1 is not a sound firmware image; nothing was uploaded.").arg(m_options.file));
    const FirmwareUploader::Result uploaded = uploader.upload(m_options.port, image);
    if (m_terminal && m_lastPercent >= 0)
        m_err << Qt::endl;
    switch (uploaded) {
    case FirmwareUploader::Result::Success:
        break;
    case FirmwareUploader::Result::Cancelled:
        return Cancelled;
    case FirmwareUploader::Result::LinkFailed:
        return PortFailed;
    case FirmwareUploader::Result::TransferFailed:
        return DeviceFailed;
    default:
        return BadUsage;
    }
    if (!m_options.verify) {
        result(tr("Firmware uploaded."), QJsonObject{{QStringLiteral("uploaded"), true}});
        return Done;
    }
    m_err << tr("Waiting for the application at node %1, %2...")
                 .arg(m_options.verifyNode)
                 .arg(lineText(m_options.verifyLine))
          << Qt::endl;
    RestartVerifier verifier;
    m_verifier = &verifier;
    const RestartVerifier::Answer answer =
        verifier.wait(m_options.port, m_options.verifyLine.baudRate, m_options.verifyLine.parity,
                      m_options.verifyNode);
    if (!answer.answered)
        return fail(m_cancelled ? Cancelled : DeviceFailed, answer.error);
    QJsonObject object =
        identity(m_options.verifyNode, m_options.verifyLine, answer.signature, answer.version);
    object.insert(QStringLiteral("uploaded"), true);
    result(tr("Firmware uploaded; the application answers: %1 (signature %2), firmware %3.")
               .arg(deviceNameOf(answer.signature))
               .arg(answer.signature)
               .arg(answer.version.isEmpty() ? QStringLiteral("-") : answer.version),
           object);
    return Done;
}

int CliCommands::plugins()
{
    QJsonArray array;
    QStringList lines;
    for (const DevicePlugin *plugin : PluginManager::instance()->allPlugins()) {
        const bool configurable =
            PluginManager::instance()->configurationForSignature(plugin->signature()) != nullptr;
        lines << QStringLiteral("%1  %2  %3  %4")
                     .arg(plugin->signature(), 4)
                     .arg(plugin->deviceName(), -16)
                     .arg(plugin->description(),
                          configurable ? tr("configuration files") : tr("no configuration files"));
        array.append(QJsonObject{{QStringLiteral("signature"), int(plugin->signature())},
                                 {QStringLiteral("device"), plugin->deviceName()},
                                 {QStringLiteral("description"), plugin->description()},
                                 {QStringLiteral("configuration"), configurable}});
    }
    if (lines.isEmpty())
        lines << tr("No plug-ins found.");
    result(lines.join(QLatin1Char('\n')), array);
    return Done;
}

int CliCommands::openDevice(quint16 *signature, QString *version)
{
    if (!m_client->connect(m_options.port, m_options.line.baudRate, m_options.line.parity, 8, 1,
                           m_options.node))
        return fail(PortFailed, m_client->lastError());
    if (!m_client->readSignature(*signature)) {
        return deviceFailure(tr("No answer from node %1 at %2: %3")
                                 .arg(m_options.node)
                                 .arg(lineText(m_options.line), m_client->lastError()));
    }
    quint16 major = 0;
    quint16 minor = 0;
    if (m_client->readVersion(major, minor))
        *version = QStringLiteral("%1.%2").arg(major).arg(minor);
    return Done;
}

int CliCommands::loadFile(ConfigurationFile *file, DevicePlugin **plugin,
                          DeviceConfiguration **configuration)
{
    QString error;
    if (!file->load(m_options.file, &error))
        return fail(BadUsage, error);
    *plugin = PluginManager::instance()->pluginForSignature(file->signature);
    *configuration = PluginManager::instance()->configurationForSignature(file->signature);
    if (!*plugin || !*configuration)
        return fail(
            BadUsage,
            tr("No plug-in keeps the configuration of device type %1.").arg(file->signature));
    if (!file->fits(file->signature, (*plugin)->deviceName(),
                    (*configuration)->configurationBlocks(), &error))
        return fail(BadUsage, error);
    return Done;
}

int CliCommands::openForFile(ConfigurationFile *file, DevicePlugin **plugin,
                             DeviceConfiguration **configuration)
{
    if (const int bad = loadFile(file, plugin, configuration))
        return bad;
    quint16 signature = 0;
    QString version;
    if (const int failed = openDevice(&signature, &version))
        return failed;
    return checkDevice(*file, signature, *configuration);
}

int CliCommands::checkDevice(const ConfigurationFile &file, quint16 signature,
                             const DeviceConfiguration *configuration)
{
    QString error;
    if (!file.fits(signature, deviceNameOf(signature), configuration->configurationBlocks(),
                   &error))
        return fail(DeviceFailed, error);
    return Done;
}

int CliCommands::deviceFailure(const QString &message)
{
    if (m_cancelled)
        return fail(Cancelled, message);
    return fail(m_client->isConnected() ? DeviceFailed : PortFailed, message);
}

int CliCommands::fail(int code, const QString &message)
{
    m_err << message << Qt::endl;
    return code;
}

QJsonObject CliCommands::identity(int node, const CliOptions::Setting &line, quint16 signature,
                                  const QString &version) const
{
    return {{QStringLiteral("node"), node},
            {QStringLiteral("baud"), line.baudRate},
            {QStringLiteral("parity"), QString(QLatin1Char(line.parity))},
            {QStringLiteral("signature"), int(signature)},
            {QStringLiteral("device"), deviceNameOf(signature)},
            {QStringLiteral("version"), version.isEmpty() ? QJsonValue() : QJsonValue(version)}};
}

void CliCommands::result(const QString &text, const QJsonValue &json)
{
    if (m_options.json) {
        const QJsonDocument document =
            json.isArray() ? QJsonDocument(json.toArray()) : QJsonDocument(json.toObject());
        m_out << document.toJson(QJsonDocument::Compact) << Qt::endl;
    } else if (!text.isEmpty()) {
        m_out << text << Qt::endl;
    }
}

void CliCommands::trace(const ModbusExchange &exchange)
{
    if (m_terminal && m_lastPercent >= 0)
        m_err << '\r';
    m_err << ExchangeFormatter::line(exchange) << Qt::endl;
}

void CliCommands::progress(int percent)
{
    if (m_terminal) {
        if (percent == m_lastPercent)
            return;
        const int filled = percent * 40 / 100;
        m_err << '\r' << '[' << QString(filled, QLatin1Char('#'))
              << QString(40 - filled, QLatin1Char(' ')) << "] " << percent << '%' << Qt::flush;
    } else if (percent / 10 != m_lastPercent / 10 || m_lastPercent < 0) {
        m_err << percent << '%' << Qt::endl;
    }
    m_lastPercent = percent;
}
