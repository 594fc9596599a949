#include "CliOptions.h"

#include "BusScanner.h"
#include "ModbusClient.h"
#include "NodeList.h"

#include <QCommandLineParser>

namespace {

struct CommandInfo
{
    CliOptions::Command command;
    const char *name;
    const char *arguments;
    const char *summary;
};

const CommandInfo Commands[] = {
    {CliOptions::Command::Identify, "identify", "",
     QT_TRANSLATE_NOOP("CliOptions", "Reads the device's signature and firmware version.")},
    {CliOptions::Command::Scan, "scan", "",
     QT_TRANSLATE_NOOP("CliOptions", "Finds the devices on the line.")},
    {CliOptions::Command::Backup, "backup", "FILE",
     QT_TRANSLATE_NOOP("CliOptions", "Reads the device's configuration into FILE.")},
    {CliOptions::Command::Compare, "compare", "FILE",
     QT_TRANSLATE_NOOP("CliOptions", "Prints the fields in which the device differs from FILE.")},
    {CliOptions::Command::Restore, "restore", "FILE",
     QT_TRANSLATE_NOOP("CliOptions",
                       "Writes what differs from FILE, verifies it and saves it to flash.")},
    {CliOptions::Command::Clone, "clone", "FILE",
     QT_TRANSLATE_NOOP("CliOptions", "Restores FILE to each node of --nodes in turn.")},
    {CliOptions::Command::Flash, "flash", "FILE",
     QT_TRANSLATE_NOOP("CliOptions",
                       "Uploads the firmware image FILE through the bootloader (unit 16, "
                       "115200 8N1 on --port).")},
    {CliOptions::Command::Plugins, "plugins", "",
     QT_TRANSLATE_NOOP("CliOptions", "Lists the device plug-ins.")},
};

const CommandInfo *infoOf(CliOptions::Command command)
{
    for (const CommandInfo &info : Commands) {
        if (info.command == command)
            return &info;
    }
    return nullptr;
}

bool parseParity(const QString &text, char *parity)
{
    const QString upper = text.trimmed().toUpper();
    if (upper.size() != 1 || !QStringLiteral("NEO").contains(upper))
        return false;
    *parity = upper.at(0).toLatin1();
    return true;
}

bool parseBaud(const QString &text, int *baud)
{
    bool ok = false;
    *baud = text.trimmed().toInt(&ok);
    return ok && ModbusClient::baudRates().contains(*baud);
}

QString baudList()
{
    QStringList rates;
    for (int rate : ModbusClient::baudRates())
        rates << QString::number(rate);
    return rates.join(QStringLiteral(", "));
}

} // namespace

QString CliOptions::usage()
{
    QString text = tr("Usage: tavrolix-cli COMMAND [options]\n\nCommands:\n");
    for (const CommandInfo &info : Commands) {
        text += QStringLiteral("  %1\n      %2\n")
                    .arg(QStringLiteral("%1 %2")
                             .arg(QLatin1String(info.name), QLatin1String(info.arguments))
                             .trimmed(),
                         tr(info.summary));
    }
    text += tr("\n\"tavrolix-cli COMMAND --help\" shows the options of a command.\n"
               "Exit codes: 0 done; 1 done with a negative answer; 2 bad usage or a bad file; "
               "3 the port could not be opened or was lost; 4 the device did not answer, "
               "answered with the wrong signature, or refused or failed verification; "
               "5 cancelled.\n");
    return text;
}

bool CliOptions::parseCommand(const QString &name)
{
    for (const CommandInfo &info : Commands) {
        if (name == QLatin1String(info.name)) {
            command = info.command;
            return true;
        }
    }
    return false;
}

bool CliOptions::parse(const QStringList &arguments, QString *output, int *exitCode)
{
    *exitCode = 2;
    const QString name = arguments.value(1);
    if (name == QLatin1String("--version") || name == QLatin1String("-v")) {
        *output = QStringLiteral("tavrolix-cli %1\n").arg(QCoreApplication::applicationVersion());
        *exitCode = 0;
        return false;
    }
    if (name.isEmpty() || name == QLatin1String("--help") || name == QLatin1String("-h")) {
        *output = usage();
        *exitCode = name.isEmpty() ? 2 : 0;
        return false;
    }
    if (!parseCommand(name)) {
        *output = tr("Unknown command \"%1\".").arg(name) + QLatin1Char('\n') + usage();
        return false;
    }

    const CommandInfo *info = infoOf(command);
    QCommandLineParser parser;
    parser.setApplicationDescription(tr(info->summary));
    parser.addHelpOption();
    const bool onLine = command != Command::Plugins;
    const QCommandLineOption portOption(QStringLiteral("port"), tr("The serial port (required)."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption baudOption(QStringLiteral("baud"), tr("Baud rate (default 9600)."),
                                        QStringLiteral("N"), QStringLiteral("9600"));
    const QCommandLineOption parityOption(QStringLiteral("parity"),
                                          tr("Parity: N, E or O (default N)."),
                                          QStringLiteral("P"), QStringLiteral("N"));
    const QCommandLineOption nodeOption(QStringLiteral("node"), tr("Node address (default 1)."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption traceOption(QStringLiteral("trace"),
                                         tr("Every exchange decoded on standard error."));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        tr("Machine-readable result on standard output."));
    const QCommandLineOption nodesOption(
        QStringLiteral("nodes"),
        command == Command::Scan ? tr("Nodes to probe, e.g. 1-247 (default) or 2-9,12.")
                                 : tr("Nodes to restore, e.g. 2-9,12 (required)."),
        QStringLiteral("LIST"));
    const QCommandLineOption baudsOption(
        QStringLiteral("bauds"),
        tr("Baud rates to try, e.g. 9600,19200, or all (default: --baud)."),
        QStringLiteral("LIST"));
    const QCommandLineOption paritiesOption(
        QStringLiteral("parities"), tr("Parities to try, e.g. N,E, or all (default: --parity)."),
        QStringLiteral("LIST"));
    const QCommandLineOption allowanceOption(
        QStringLiteral("allowance"),
        tr("Milliseconds a device may take beyond its frames (%1 to %2, default %3).")
            .arg(BusScanner::MinAllowanceMs)
            .arg(BusScanner::MaxAllowanceMs)
            .arg(BusScanner::DefaultAllowanceMs),
        QStringLiteral("MS"), QString::number(BusScanner::DefaultAllowanceMs));
    const QCommandLineOption applySerialOption(
        QStringLiteral("apply-serial"), tr("Also write the file's node, baud rate and parity."));
    const QCommandLineOption noSaveOption(QStringLiteral("no-save"),
                                          tr("Do not send the save command."));
    const QCommandLineOption verifyNodeOption(
        QStringLiteral("verify-node"),
        tr("After the upload, wait for the application at this node."), QStringLiteral("N"));
    const QCommandLineOption verifyBaudOption(QStringLiteral("verify-baud"),
                                              tr("... at this baud rate (default 9600)."),
                                              QStringLiteral("B"), QStringLiteral("9600"));
    const QCommandLineOption verifyParityOption(QStringLiteral("verify-parity"),
                                                tr("... with this parity (default N)."),
                                                QStringLiteral("P"), QStringLiteral("N"));
    if (onLine) {
        parser.addOptions({portOption, baudOption, parityOption, nodeOption, traceOption});
    }
    parser.addOption(jsonOption);
    if (command == Command::Scan)
        parser.addOptions({nodesOption, baudsOption, paritiesOption, allowanceOption});
    if (command == Command::Restore || command == Command::Clone)
        parser.addOptions({applySerialOption, noSaveOption});
    if (command == Command::Clone)
        parser.addOption(nodesOption);
    if (command == Command::Flash)
        parser.addOptions({verifyNodeOption, verifyBaudOption, verifyParityOption});
    if (*info->arguments)
        parser.addPositionalArgument(QLatin1String(info->arguments), tr("The file."));

    QStringList rest = arguments;
    rest.removeAt(1); // the command
    if (!parser.parse(rest)) {
        *output = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        *output = parser.helpText().replace(
            QStringLiteral("tavrolix-cli [options]"),
            QStringLiteral("tavrolix-cli %1 [options]").arg(QLatin1String(info->name)));
        *exitCode = 0;
        return false;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != (*info->arguments ? 1 : 0)) {
        *output = *info->arguments ? tr("%1 needs one FILE.").arg(name)
                                   : tr("%1 takes no file.").arg(name);
        return false;
    }
    file = positional.value(0);
    json = parser.isSet(jsonOption);
    if (!onLine)
        return true;

    port = parser.value(portOption);
    trace = parser.isSet(traceOption);
    bool ok = false;
    node = parser.value(nodeOption).toInt(&ok);
    if (port.isEmpty()) {
        *output = tr("--port is required.");
        return false;
    }
    if (!parseBaud(parser.value(baudOption), &line.baudRate)) {
        *output = tr("--baud %1 is not one of %2.").arg(parser.value(baudOption), baudList());
        return false;
    }
    if (!parseParity(parser.value(parityOption), &line.parity)) {
        *output = tr("--parity must be N, E or O.");
        return false;
    }
    if (!ok || node < NodeList::FirstNode || node > NodeList::LastNode) {
        *output =
            tr("--node must be from %1 to %2.").arg(NodeList::FirstNode).arg(NodeList::LastNode);
        return false;
    }

    QString error;
    if (command == Command::Scan || command == Command::Clone) {
        const QString list = parser.value(nodesOption);
        if (list.isEmpty() && command == Command::Clone) {
            *output = tr("clone needs --nodes.");
            return false;
        }
        nodes = NodeList::parse(list.isEmpty() ? QStringLiteral("1-247") : list, &error);
        if (nodes.isEmpty()) {
            *output = QStringLiteral("--nodes: ") + error;
            return false;
        }
    }
    if (command == Command::Scan) {
        const QString bauds = parser.value(baudsOption);
        if (bauds.isEmpty()) {
            baudRates = {line.baudRate};
        } else if (bauds == QLatin1String("all")) {
            baudRates = ModbusClient::baudRates();
        } else {
            for (const QString &part : bauds.split(QLatin1Char(','))) {
                int rate = 0;
                if (!parseBaud(part, &rate)) {
                    *output = tr("--bauds: %1 is not one of %2.").arg(part.trimmed(), baudList());
                    return false;
                }
                baudRates << rate;
            }
        }
        const QString parityList = parser.value(paritiesOption);
        if (parityList.isEmpty()) {
            parities = {line.parity};
        } else if (parityList == QLatin1String("all")) {
            parities = {'N', 'E', 'O'};
        } else {
            for (const QString &part : parityList.split(QLatin1Char(','))) {
                char parity = 'N';
                if (!parseParity(part, &parity)) {
                    *output = tr("--parities: %1 is not N, E or O.").arg(part.trimmed());
                    return false;
                }
                parities << parity;
            }
        }
        allowanceMs = parser.value(allowanceOption).toInt(&ok);
        if (!ok || allowanceMs < BusScanner::MinAllowanceMs
            || allowanceMs > BusScanner::MaxAllowanceMs) {
            *output = tr("--allowance must be from %1 to %2 ms.")
                          .arg(BusScanner::MinAllowanceMs)
                          .arg(BusScanner::MaxAllowanceMs);
            return false;
        }
    }
    if (command == Command::Restore || command == Command::Clone) {
        applySerial = parser.isSet(applySerialOption);
        save = !parser.isSet(noSaveOption);
    }
    if (command == Command::Flash && parser.isSet(verifyNodeOption)) {
        verify = true;
        verifyNode = parser.value(verifyNodeOption).toInt(&ok);
        if (!ok || verifyNode < NodeList::FirstNode || verifyNode > NodeList::LastNode) {
            *output = tr("--verify-node must be from %1 to %2.")
                          .arg(NodeList::FirstNode)
                          .arg(NodeList::LastNode);
            return false;
        }
        if (!parseBaud(parser.value(verifyBaudOption), &verifyLine.baudRate)) {
            *output = tr("--verify-baud %1 is not one of %2.")
                          .arg(parser.value(verifyBaudOption), baudList());
            return false;
        }
        if (!parseParity(parser.value(verifyParityOption), &verifyLine.parity)) {
            *output = tr("--verify-parity must be N, E or O.");
            return false;
        }
    }
    return true;
}
