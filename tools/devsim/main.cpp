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
#include "VirtualBus.h"
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
#include <functional>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

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

// One simulated device: its server, its model if it has one, and the line setting it
// starts with.
struct Device
{
    std::unique_ptr<DeviceSimulator> simulator = std::make_unique<DeviceSimulator>();
    std::unique_ptr<DeviceModel> model;
    DeviceModel::SerialSettings line;
};

// Finds the port a device with its final line setting is served on; empty on failure,
// which it has reported.
using PortFinder = std::function<QString(const DeviceModel::SerialSettings &)>;

// Powers the device up (its model reads the state file at `statePath`, whose settings
// replace the line setting `givenBy` names), starts its server and reports it.
bool startDevice(Device &device, quint16 signature, const QString &statePath,
                 const QString &givenBy, const PortFinder &portFor,
                 const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
{
    DeviceModel *model = device.model.get();
    if (model) {
        model->setStatePath(statePath);
        QObject::connect(model, &DeviceModel::report, model,
                         [&out](const QString &line) { out << line << Qt::endl; });
        model->attach(device.simulator.get());
        out << "Device model " << model->name() << ", state file " << model->statePath()
            << Qt::endl;
        if (model->hasStoredSettings()) {
            // As on the real device, what it saved decides how it talks after a restart.
            device.line = model->serialSettings();
            out << "Using the serial settings stored in the state file (not " << givenBy << ")."
                << Qt::endl;
        } else {
            out << "No settings stored yet: the device starts with " << givenBy << "." << Qt::endl;
            if (!model->setSerialSettings(device.line)) {
                err << "Note: the device cannot store " << device.line.baudRate
                    << " baud; its baud-rate register keeps its initial value." << Qt::endl;
            }
        }
    }
    DeviceSimulator &simulator = *device.simulator;
    const QString firmware = QStringLiteral("firmware");
    const QStringList version = parser.value(firmware).split(QLatin1Char('.'));
    if (!model || parser.isSet(firmware))
        simulator.setIdentity(signature, quint16(version.at(0).toUInt()),
                              quint16(version.at(1).toUInt()));
    simulator.setLineTiming(parser.isSet(QStringLiteral("line-timing")));
    const QString port = portFor(device.line);
    if (port.isEmpty())
        return false;
    if (!simulator.start(port, device.line.node, device.line.baudRate, device.line.parity)) {
        err << "Cannot open " << port << ": " << simulator.errorString() << Qt::endl;
        return false;
    }
    out << "Simulated device, signature " << simulator.signature() << ", firmware "
        << simulator.inputRegister(1) << "." << simulator.inputRegister(2) << ", node "
        << device.line.node << ", " << device.line.baudRate << " "
        << parityLetter(device.line.parity) << ", on " << port << Qt::endl;
    return true;
}

// Prints every request the device receives, after `prefix`.
void printRequests(const Device &device, const QString &prefix, QTextStream &out)
{
    QObject::connect(device.simulator.get(), &DeviceSimulator::requestReceived,
                     device.simulator.get(), [&out, prefix](const SimulatedRequest &request) {
                         out << prefix << "request: function " << request.function << ", address "
                             << request.address << ", count " << request.count << Qt::endl;
                     });
}

void presetConfigurator(const QString &port, const DeviceModel::SerialSettings &line)
{
    QSettings settings(QStringLiteral("Tavrolix"), QStringLiteral("Tavrolix Configurator"));
    settings.beginGroup(QStringLiteral("connection"));
    settings.setValue(QStringLiteral("port"), port);
    settings.setValue(QStringLiteral("portName"), port);
    settings.setValue(QStringLiteral("baud"), line.baudRate);
    settings.setValue(QStringLiteral("parity"), parityLetter(line.parity));
    settings.setValue(QStringLiteral("node"), line.node);
}

struct BusEntry
{
    quint16 signature = 0;
    ModelFactory makeModel = nullptr;
    DeviceModel::SerialSettings line;
};

// "do8@1,ind4@5,gsm@12:19200:E": <device>@<node>[:<baud>[:<parity>]] for each device.
bool parseBus(const QString &text, QList<BusEntry> *entries, QString *error)
{
    for (const QString &item : text.split(QLatin1Char(','))) {
        const QString entry = item.trimmed();
        const auto bad = [&](const QString &why) {
            *error = QStringLiteral("Bad --bus entry \"%1\": %2.").arg(entry, why);
            return false;
        };
        const qsizetype at = entry.indexOf(QLatin1Char('@'));
        const QStringList line = entry.mid(at + 1).split(QLatin1Char(':'));
        if (at <= 0 || line.size() > 3)
            return bad(QStringLiteral("expected <device>@<node>[:<baud>[:<parity>]]"));
        BusEntry parsed;
        if (!parseDevice(entry.left(at), &parsed.signature, &parsed.makeModel))
            return bad(QStringLiteral("unknown device"));
        bool ok = false;
        parsed.line.node = line.at(0).toInt(&ok);
        if (!ok || parsed.line.node < 1 || parsed.line.node > 247)
            return bad(QStringLiteral("the node must be 1 to 247"));
        parsed.line.baudRate = line.size() > 1 ? line.at(1).toInt(&ok) : 9600;
        if (!ok || !VirtualBus::isSupportedBaudRate(parsed.line.baudRate))
            return bad(QStringLiteral("the bus does not carry this baud rate"));
        if (line.size() > 2 && !parseParity(line.at(2), &parsed.line.parity))
            return bad(QStringLiteral("the parity must be N, E or O"));
        for (const BusEntry &other : std::as_const(*entries)) {
            if (other.line.node == parsed.line.node)
                return bad(QStringLiteral("node %1 is taken").arg(parsed.line.node));
        }
        entries->append(parsed);
    }
    return true;
}

// --bus: the devices share one virtual line, each at its own node and line setting.
int runBus(QCoreApplication &app, const QCommandLineParser &parser, const QList<BusEntry> &entries,
           QTextStream &out, QTextStream &err)
{
    const QString dir = parser.value(QStringLiteral("virtual"));
    VirtualBus bus;
    if (!bus.open(dir)) {
        err << "Cannot make the virtual bus: " << bus.errorString() << Qt::endl;
        return 1;
    }
    bus.setNoiseFromMismatched(parser.isSet(QStringLiteral("bus-noise")));
    const PortFinder portFor = [&bus, &err](const DeviceModel::SerialSettings &line) {
        const QString port = bus.addDevice(line.node, line.baudRate, line.parity);
        if (port.isEmpty())
            err << "Cannot add a device to the virtual bus: " << bus.errorString() << Qt::endl;
        return port;
    };
    std::vector<Device> devices(size_t(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        Device &device = devices[size_t(i)];
        device.line = entries.at(i).line;
        QString statePath;
        if (entries.at(i).makeModel) {
            device.model = entries.at(i).makeModel();
            statePath = QDir(dir).absoluteFilePath(
                QStringLiteral("%1-%2-state.ini").arg(device.model->name()).arg(device.line.node));
        }
        if (!startDevice(device, entries.at(i).signature, statePath,
                         QStringLiteral("its --bus entry"), portFor, parser, out, err))
            return 1;
        printRequests(device, QStringLiteral("node %1 ").arg(device.line.node), out);
    }
    out << "Open this port in the configurator: " << bus.clientPath() << Qt::endl;
    if (parser.isSet(QStringLiteral("preset-configurator")))
        presetConfigurator(bus.clientPath(), devices.front().line);
    QObject::connect(&bus, &VirtualBus::noiseSent, &app, [&out](int node) {
        out << "node " << node << ": noise, its line setting differs from the master's"
            << Qt::endl;
    });

    quitOnSignals(app);
    const int code = app.exec();
    for (Device &device : devices)
        device.simulator->stop();
    out << "Simulator stopped." << Qt::endl;
    return code;
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
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Serial port the device listens on."),
                                        QStringLiteral("path"));
    const QCommandLineOption virtualOption(
        QStringLiteral("virtual"),
        QStringLiteral("Make a virtual null-modem pair in <dir> (socat) and serve one end;"
                       " the configurator opens <dir>/configurator."),
        QStringLiteral("dir"));
    const QCommandLineOption busOption(
        QStringLiteral("bus"),
        QStringLiteral("Several devices on one virtual RS-485 line (needs --virtual), e.g."
                       " do8@1,ind4@5,gsm@12:19200:E: <device>@<node>[:<baud>[:<parity>]]"
                       " each (default 9600 N). A request reaches the devices whose baud rate"
                       " and parity are the configurator's. Each device with a model keeps"
                       " <name>-<node>-state.ini in the --virtual dir."),
        QStringLiteral("devices"));
    const QCommandLineOption noiseOption(
        QStringLiteral("bus-noise"),
        QStringLiteral("On the bus, a device at another baud rate or parity than the"
                       " configurator answers requests to its node with noise."));
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
        QStringLiteral("Store this port, baud, parity and node (on the bus: the first"
                       " device's) as the configurator's connection settings."));
    const QCommandLineOption stateOption(
        QStringLiteral("state"),
        QStringLiteral("File in which a device with a model keeps its saved settings"
                       " (default: <name>-state.ini in the --virtual dir, else in the"
                       " application data folder). Settings found there override --node,"
                       " --baud and --parity."),
        QStringLiteral("file"));
    const QCommandLineOption restartAsOption(
        QStringLiteral("restart-as"),
        QStringLiteral("With --device bootloader: after the exit command the module restarts"
                       " as this device (--node, --baud, --parity, --state apply), on the same"
                       " port."),
        QStringLiteral("device"));
    parser.addOptions({deviceOption, portOption, virtualOption, busOption, noiseOption, nodeOption,
                       baudOption, parityOption, versionOption, timingOption, presetOption,
                       stateOption, restartAsOption});
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
    const int node = parser.value(nodeOption).toInt(&nodeOk);
    bool baudOk = false;
    const int baud = parser.value(baudOption).toInt(&baudOk);
    QSerialPort::Parity parity = QSerialPort::NoParity;
    const QStringList version = parser.value(versionOption).split(QLatin1Char('.'));
    if (!nodeOk || node < 1 || node > 247 || !baudOk || baud <= 0
        || !parseParity(parser.value(parityOption), &parity) || version.size() != 2) {
        err << "Invalid node, baud, parity or firmware version." << Qt::endl;
        return 2;
    }
    if (parser.isSet(busOption)) {
        bool usable = parser.isSet(virtualOption);
        for (const QCommandLineOption &single :
             {deviceOption, portOption, nodeOption, baudOption, parityOption, stateOption})
            usable = usable && !parser.isSet(single);
        if (!usable) {
            err << "--bus needs --virtual and takes no --device, --port, --node, --baud,"
                   " --parity or --state."
                << Qt::endl;
            return 2;
        }
        QList<BusEntry> entries;
        QString error;
        if (!parseBus(parser.value(busOption), &entries, &error)) {
            err << error << Qt::endl;
            return 2;
        }
        return runBus(app, parser, entries, out, err);
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
    if (bootloader) {
        // The application the module restarts as, if asked: started once the bootloader
        // has let the port go.
        Device application;
        application.line = {node, baud, parity};
        quint16 applicationSignature = 0;
        ModelFactory makeApplication = nullptr;
        std::function<void()> restart;
        if (parser.isSet(restartAsOption)) {
            if (!parseDevice(parser.value(restartAsOption), &applicationSignature,
                             &makeApplication)) {
                err << "Unknown device: " << parser.value(restartAsOption) << Qt::endl;
                return 2;
            }
            if (makeApplication)
                application.model = makeApplication();
            restart = [&] {
                out << "The module restarts as its application." << Qt::endl;
                const PortFinder samePort = [&devicePort](const DeviceModel::SerialSettings &) {
                    return devicePort;
                };
                if (startDevice(application, applicationSignature, parser.value(stateOption),
                                QStringLiteral("--node, --baud, --parity"), samePort, parser, out,
                                err))
                    printRequests(application, QString(), out);
            };
        }
        const int code = BootloaderConsole::run(app, parser, devicePort, configuratorPort,
                                                quitOnSignals, restart);
        application.simulator->stop();
        return code;
    }

    Device device;
    device.line = {node, baud, parity};
    QString statePath;
    if (makeModel) {
        device.model = makeModel();
        statePath = parser.value(stateOption);
        if (statePath.isEmpty()) {
            const QString dir = parser.isSet(virtualOption)
                ? parser.value(virtualOption)
                : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
            statePath =
                QDir(dir).absoluteFilePath(device.model->name() + QStringLiteral("-state.ini"));
        }
    }
    const PortFinder portFor = [&devicePort](const DeviceModel::SerialSettings &) {
        return devicePort;
    };
    if (!startDevice(device, signature, statePath, QStringLiteral("--node, --baud, --parity"),
                     portFor, parser, out, err))
        return 1;
    if (!configuratorPort.isEmpty())
        out << "Open this port in the configurator: " << configuratorPort << Qt::endl;
    if (parser.isSet(presetOption))
        presetConfigurator(configuratorPort.isEmpty() ? devicePort : configuratorPort,
                           device.line);
    printRequests(device, QString(), out);

    quitOnSignals(app);
    const int code = app.exec();
    device.simulator->stop();
    out << "Simulator stopped." << Qt::endl;
    return code;
}
