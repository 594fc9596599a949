// tavrolix-devsim: a simulated Tavrolix device on a serial port, so the
// configurator can be tried and tested without hardware.

#include "AnalogModuleModel.h"
#include "BootloaderConsole.h"
#include "ColumnIndicatorModel.h"
#include "DeviceSimulator.h"
#include "GsmModemModel.h"
#include "InputModuleModel.h"
#include "LedIndicatorModel.h"
#include "OutputModuleModel.h"
#include "VirtualSerialPair.h"
#include "VoltmeterModel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTextStream>

#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// Ctrl+C and kill end the event loop normally, so the virtual pair is removed.
void quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
}

using ModelFactory = std::unique_ptr<DeviceModel> (*)();

template<typename Model>
std::unique_ptr<DeviceModel> makeModel()
{
    return std::make_unique<Model>();
}

struct KnownDevice
{
    const char *name;
    quint16 signature;
    ModelFactory makeModel; // nullptr: plain registers, nothing kept
};

// Device names the simulator understands besides plain signatures. A signature
// given as a number picks the model of the first entry with that signature.
constexpr KnownDevice knownDevices[] = {
    {"unknown", 0x1234, nullptr},
    {"do8", 4, makeModel<OutputModuleModel>},
    {"output", 4, makeModel<OutputModuleModel>},
    {"di40", 3, makeModel<InputModuleModel>},
    {"input", 3, makeModel<InputModuleModel>},
    {"ind4", 9, makeModel<LedIndicatorModel>},
    {"led", 9, makeModel<LedIndicatorModel>},
    {"column", 18, makeModel<ColumnIndicatorModel>},
    {"ai8", 2, makeModel<AnalogModuleModel>},
    {"analog", 2, makeModel<AnalogModuleModel>},
    {"volt", 24, makeModel<VoltmeterModel>},
    {"voltmeter", 24, makeModel<VoltmeterModel>},
    {"gsm", 5, makeModel<GsmModemModel>},
};

// "do8 or output, di40 or input, ...": the names of each model, for the help text.
QString deviceNames()
{
    QStringList names;
    const KnownDevice *previous = nullptr;
    for (const KnownDevice &device : knownDevices) {
        const QString name = QLatin1String(device.name);
        if (previous && previous->makeModel && previous->makeModel == device.makeModel)
            names.last() += QStringLiteral(" or ") + name;
        else if (device.makeModel)
            names.append(name);
        previous = &device;
    }
    return names.join(QStringLiteral(", "));
}

bool parseDevice(const QString &text, quint16 *signature, ModelFactory *makeModel)
{
    *makeModel = nullptr;
    for (const KnownDevice &device : knownDevices) {
        if (text.compare(QLatin1String(device.name), Qt::CaseInsensitive) == 0) {
            *signature = device.signature;
            *makeModel = device.makeModel;
            return true;
        }
    }
    bool ok = false;
    const uint value = text.toUInt(&ok, 0);
    if (!ok || value > 0xFFFF)
        return false;
    *signature = quint16(value);
    for (const KnownDevice &device : knownDevices) {
        if (device.signature == value && device.makeModel) {
            *makeModel = device.makeModel;
            break;
        }
    }
    return true;
}

bool parseParity(const QString &text, QSerialPort::Parity *parity)
{
    const QString upper = text.toUpper();
    if (upper == QLatin1String("N"))
        *parity = QSerialPort::NoParity;
    else if (upper == QLatin1String("E"))
        *parity = QSerialPort::EvenParity;
    else if (upper == QLatin1String("O"))
        *parity = QSerialPort::OddParity;
    else
        return false;
    return true;
}

QString parityLetter(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity:
        return QStringLiteral("E");
    case QSerialPort::OddParity:
        return QStringLiteral("O");
    default:
        return QStringLiteral("N");
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrolix-devsim"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates a Tavrolix device (Modbus RTU server) on a serial port."));
    parser.addHelpOption();
    const QCommandLineOption deviceOption(
        QStringLiteral("device"),
        QStringLiteral("Device to simulate: a name (%1, bootloader, unknown) or a signature"
                       " (decimal or 0x...).")
            .arg(deviceNames()),
        QStringLiteral("device"), QStringLiteral("unknown"));
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("Serial port the device listens on."),
        QStringLiteral("path"));
    const QCommandLineOption virtualOption(
        QStringLiteral("virtual"),
        QStringLiteral("Make a virtual null-modem pair in <dir> (socat) and serve one end;"
                       " the configurator opens <dir>/configurator."),
        QStringLiteral("dir"));
    const QCommandLineOption nodeOption(QStringLiteral("node"),
                                        QStringLiteral("Modbus node address (1-247)."),
                                        QStringLiteral("node"), QStringLiteral("1"));
    const QCommandLineOption baudOption(QStringLiteral("baud"), QStringLiteral("Baud rate."),
                                        QStringLiteral("baud"), QStringLiteral("9600"));
    const QCommandLineOption parityOption(QStringLiteral("parity"),
                                          QStringLiteral("Parity: N, E or O."),
                                          QStringLiteral("parity"), QStringLiteral("N"));
    const QCommandLineOption versionOption(QStringLiteral("firmware"),
                                           QStringLiteral("Firmware version major.minor."),
                                           QStringLiteral("version"), QStringLiteral("1.0"));
    const QCommandLineOption timingOption(
        QStringLiteral("line-timing"),
        QStringLiteral("Answer after the time the frames take on a real line."));
    const QCommandLineOption presetOption(
        QStringLiteral("preset-configurator"),
        QStringLiteral("Store this port, baud, parity and node as the configurator's"
                       " connection settings."));
    const QCommandLineOption stateOption(
        QStringLiteral("state"),
        QStringLiteral("File in which a device with a model keeps its saved settings"
                       " (default: <name>-state.ini in the --virtual dir, else in the"
                       " application data folder). Settings found there override --node,"
                       " --baud and --parity."),
        QStringLiteral("file"));
    parser.addOptions({deviceOption, portOption, virtualOption, nodeOption, baudOption,
                       parityOption, versionOption, timingOption, presetOption, stateOption});
    BootloaderConsole::addOptions(parser);
    parser.process(app);
    if (BootloaderConsole::makesImage(parser))
        return BootloaderConsole::makeImage(parser);
    const bool bootloader = BootloaderConsole::isRequested(parser);

    quint16 signature = 0;
    ModelFactory makeModel = nullptr;
    if (!bootloader && !parseDevice(parser.value(deviceOption), &signature, &makeModel)) {
        err << "Unknown device: " << parser.value(deviceOption) << Qt::endl;
        return 2;
    }
    bool nodeOk = false;
    int node = parser.value(nodeOption).toInt(&nodeOk);
    bool baudOk = false;
    int baud = parser.value(baudOption).toInt(&baudOk);
    QSerialPort::Parity parity = QSerialPort::NoParity;
    const QStringList version = parser.value(versionOption).split(QLatin1Char('.'));
    if (!nodeOk || node < 1 || node > 247 || !baudOk || baud <= 0
        || !parseParity(parser.value(parityOption), &parity) || version.size() != 2) {
        err << "Invalid node, baud, parity or firmware version." << Qt::endl;
        return 2;
    }
    if (parser.isSet(portOption) == parser.isSet(virtualOption)) {
        err << "Give either --port or --virtual." << Qt::endl;
        return 2;
    }

    VirtualSerialPair pair;
    QString devicePort = parser.value(portOption);
    QString configuratorPort;
    if (parser.isSet(virtualOption)) {
        if (!pair.open(parser.value(virtualOption))) {
            err << "Cannot make the virtual serial pair: " << pair.errorString() << Qt::endl;
            return 1;
        }
        devicePort = pair.devicePath();
        configuratorPort = pair.clientPath();
    }
    if (bootloader)
        return BootloaderConsole::run(app, parser, devicePort, configuratorPort, quitOnSignals);

    DeviceSimulator device;
    std::unique_ptr<DeviceModel> model;
    if (makeModel) {
        model = makeModel();
        QString statePath = parser.value(stateOption);
        if (statePath.isEmpty()) {
            const QString dir = parser.isSet(virtualOption)
                                    ? parser.value(virtualOption)
                                    : QStandardPaths::writableLocation(
                                          QStandardPaths::AppDataLocation);
            statePath = QDir(dir).absoluteFilePath(model->name() + QStringLiteral("-state.ini"));
        }
        model->setStatePath(statePath);
        QObject::connect(model.get(), &DeviceModel::report, &app,
                         [&out](const QString &line) { out << line << Qt::endl; });
        model->attach(&device);
        out << "Device model " << model->name() << ", state file " << model->statePath()
            << Qt::endl;
        if (model->hasStoredSettings()) {
            // As on the real device, what it saved decides how it talks after a restart.
            const DeviceModel::SerialSettings stored = model->serialSettings();
            node = stored.node;
            baud = stored.baudRate;
            parity = stored.parity;
            out << "Using the serial settings stored in the state file (not --node, --baud,"
                   " --parity)."
                << Qt::endl;
        } else {
            out << "No settings stored yet: the device starts with --node, --baud, --parity."
                << Qt::endl;
            if (!model->setSerialSettings({node, baud, parity})) {
                err << "Note: the device cannot store " << baud
                    << " baud; its baud-rate register keeps its initial value." << Qt::endl;
            }
        }
    }
    if (!model || parser.isSet(versionOption))
        device.setIdentity(signature, quint16(version.at(0).toUInt()),
                           quint16(version.at(1).toUInt()));
    device.setLineTiming(parser.isSet(timingOption));
    if (!device.start(devicePort, node, baud, parity)) {
        err << "Cannot open " << devicePort << ": " << device.errorString() << Qt::endl;
        return 1;
    }

    const QString parityText = parityLetter(parity);
    out << "Simulated device, signature " << device.signature() << ", firmware "
        << device.inputRegister(1) << "." << device.inputRegister(2) << ", node " << node
        << ", " << baud << " " << parityText << ", on " << devicePort << Qt::endl;
    if (!configuratorPort.isEmpty())
        out << "Open this port in the configurator: " << configuratorPort << Qt::endl;

    if (parser.isSet(presetOption)) {
        QSettings settings(QStringLiteral("Tavrolix"), QStringLiteral("Tavrolix Configurator"));
        settings.beginGroup(QStringLiteral("connection"));
        const QString port = configuratorPort.isEmpty() ? devicePort : configuratorPort;
        settings.setValue(QStringLiteral("port"), port);
        settings.setValue(QStringLiteral("portName"), port);
        settings.setValue(QStringLiteral("baud"), baud);
        settings.setValue(QStringLiteral("parity"), parityText);
        settings.setValue(QStringLiteral("node"), node);
    }

    QObject::connect(&device, &DeviceSimulator::requestReceived, &app,
                     [&out](const SimulatedRequest &request) {
                         out << "request: function " << request.function << ", address "
                             << request.address << ", count " << request.count << Qt::endl;
                     });

    quitOnSignals(app);
    const int code = app.exec();
    device.stop();
    out << "Simulator stopped." << Qt::endl;
    return code;
}
