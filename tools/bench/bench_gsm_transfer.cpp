// Times "Read All" (44 requests) and "Save to Flash" (42 writes and the save command) of
// the GSM modem editor against the simulated modem, run as its own process with line
// timing, at 9600 and 115200 baud, and compares each with the time the frames alone need
// on the wire: for every exchange the request and reply bytes at 10 bits a byte and 3.5
// character times of silence before each frame.

#include "DevicePlugin.h"
#include "ModbusClient.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPluginLoader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWidget>

#include <memory>

namespace {

constexpr double BitsPerByte = 10;
constexpr double SilenceChars = 3.5;

// Request and reply sizes of the RTU frames of one exchange: address, function, CRC.
struct Exchange
{
    int requestBytes;
    int replyBytes;
};

Exchange readRegisters(int count)
{
    return {8, 5 + 2 * count};
}
Exchange readBits(int count)
{
    return {8, 5 + (count + 7) / 8};
}
Exchange writeRegisters(int count)
{
    return count == 1 ? Exchange{8, 8} : Exchange{9 + 2 * count, 8};
}

QList<Exchange> readAllExchanges()
{
    QList<Exchange> exchanges{readRegisters(3)};
    exchanges.append(QList<Exchange>(5, readRegisters(8)));
    exchanges.append(QList<Exchange>(36, readRegisters(30)));
    exchanges << readRegisters(9) << readBits(64);
    return exchanges;
}

QList<Exchange> saveExchanges()
{
    QList<Exchange> exchanges{writeRegisters(3)};
    exchanges.append(QList<Exchange>(5, writeRegisters(8)));
    exchanges.append(QList<Exchange>(36, writeRegisters(30)));
    exchanges << writeRegisters(1); // the save command
    return exchanges;
}

double wireSeconds(const QList<Exchange> &exchanges, int baud)
{
    double seconds = 0;
    for (const Exchange &exchange : exchanges)
        seconds +=
            (exchange.requestBytes + exchange.replyBytes + 2 * SilenceChars) * BitsPerByte / baud;
    return seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QPluginLoader loader(QDir(QStringLiteral(TAVROLIX_PLUGIN_DIR)).filePath("devplugin_gsm"));
    auto *plugin = qobject_cast<DevicePlugin *>(loader.instance());
    if (!plugin) {
        err << "Cannot load the GSM plug-in: " << loader.errorString() << Qt::endl;
        return 1;
    }

    for (const int baud : {9600, 115200}) {
        QTemporaryDir dir;
        QProcess simulator;
        simulator.setProcessChannelMode(QProcess::MergedChannels);
        simulator.start(QStringLiteral(TAVROLIX_DEVSIM_PATH),
                        {QStringLiteral("--device"), QStringLiteral("gsm"),
                         QStringLiteral("--virtual"), dir.filePath(QStringLiteral("line")),
                         QStringLiteral("--baud"), QString::number(baud),
                         QStringLiteral("--line-timing")});
        QByteArray simulatorOutput;
        while (!simulatorOutput.contains("Open this port")) {
            if (!simulator.waitForReadyRead(10000)) {
                err << "The simulator did not start: " << simulatorOutput << Qt::endl;
                return 1;
            }
            simulatorOutput += simulator.readAll();
        }

        ModbusClient client;
        if (!client.connect(dir.filePath(QStringLiteral("line/configurator")), baud, 'N', 8, 1,
                            1)) {
            err << "Cannot connect: " << client.lastError() << Qt::endl;
            return 1;
        }
        const std::unique_ptr<QWidget> editor(plugin->createWidget(&client, nullptr));
        const quint64 failures = client.failureCount();
        QElapsedTimer clock;
        clock.start();
        plugin->readFromDevice();
        const double readSeconds = clock.nsecsElapsed() / 1e9;
        clock.restart();
        plugin->writeToDevice();
        client.writeRegister(plugin->saveRegisterAddress(), 0x0300);
        const double saveSeconds = clock.nsecsElapsed() / 1e9;
        if (client.failureCount() != failures) {
            err << "A request failed: " << client.lastError() << Qt::endl;
            return 1;
        }
        client.disconnect();
        simulator.terminate();
        simulator.waitForFinished(5000);

        out << baud << " baud" << Qt::endl;
        const struct
        {
            const char *name;
            double measured;
            QList<Exchange> exchanges;
        } runs[] = {{"Read All", readSeconds, readAllExchanges()},
                    {"Save to Flash", saveSeconds, saveExchanges()}};
        for (const auto &run : runs) {
            const double limit = wireSeconds(run.exchanges, baud);
            out << QString::asprintf("  %-14s %lld requests: measured %7.3f s, wire-time limit"
                                     " %7.3f s, ratio %.3f, %.2f ms a request over the wire\n",
                                     run.name, qlonglong(run.exchanges.size()), run.measured,
                                     limit, run.measured / limit,
                                     (run.measured - limit) * 1000 / run.exchanges.size());
        }
    }
    return 0;
}
