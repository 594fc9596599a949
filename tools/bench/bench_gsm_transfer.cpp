// Times "Read All" (44 requests) and "Save to Flash" (42 writes and the save command) of
// the GSM modem editor against the simulated modem, run as its own process with line
// timing, at 9600 and 115200 baud, against the same exchanges sent by a plain toolkit loop
// and the time the frames alone need on the wire (see BareToolkitLoop).

#include "BareToolkitLoop.h"
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
#include <utility>

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
        // It prints every request: a full pipe would stall it.
        QObject::connect(&simulator, &QProcess::readyRead, &simulator,
                         [&simulator] { simulator.readAll(); });

        ModbusClient client;
        if (!client.connect(dir.filePath(QStringLiteral("line/configurator")), baud, 'N', 8, 1,
                            1)) {
            err << "Cannot connect: " << client.lastError() << Qt::endl;
            return 1;
        }
        const std::unique_ptr<QWidget> editor(plugin->createWidget(&client, nullptr));
        QList<ModbusExchange> exchanges;
        QObject::connect(&client, &ModbusClient::exchangeFinished, &client,
                         [&exchanges](const ModbusExchange &e) { exchanges << e; });
        const quint64 failures = client.failureCount();
        QElapsedTimer clock;
        clock.start();
        plugin->readFromDevice();
        const double readSeconds = clock.nsecsElapsed() / 1e9;
        const QList<ModbusExchange> readExchanges = std::exchange(exchanges, {});
        clock.restart();
        plugin->writeToDevice();
        client.writeRegister(plugin->saveRegisterAddress(), 0x0300);
        const double saveSeconds = clock.nsecsElapsed() / 1e9;
        if (client.failureCount() != failures) {
            err << "A request failed: " << client.lastError() << Qt::endl;
            return 1;
        }
        client.disconnect();

        out << baud << " baud" << Qt::endl;
        const struct
        {
            const char *name;
            double measured;
            QList<ModbusExchange> exchanges;
        } runs[] = {{"Read All", readSeconds, readExchanges},
                    {"Save to Flash", saveSeconds, exchanges}};
        for (const auto &run : runs) {
            QString error;
            const double bare =
                BareToolkitLoop::run(dir.filePath(QStringLiteral("line/configurator")), baud,
                                     run.exchanges, -1, 0, &error);
            if (bare < 0) {
                err << "The bare toolkit loop failed: " << error << Qt::endl;
                return 1;
            }
            const double limit = BareToolkitLoop::wireSeconds(run.exchanges, baud);
            out << QString::asprintf("  %-14s %lld requests: ours %7.3f s, bare toolkit %7.3f s,"
                                     " wire-time limit %7.3f s; ours/bare %.3f, ours/wire %.3f,"
                                     " bare/wire %.3f\n",
                                     run.name, qlonglong(run.exchanges.size()), run.measured, bare,
                                     limit, run.measured / bare, run.measured / limit,
                                     bare / limit);
        }
        simulator.terminate();
        simulator.waitForFinished(5000);
    }
    return 0;
}
