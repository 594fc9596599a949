// Measures the processor time the configurator's window uses while it sits beside the
// simulated LED indicator with its 100 ms monitor running, once with the traffic view
// closed and once open: 30 s each (the first argument overrides), on the platform given
// (run it under xvfb-run for a real X server).

#include "MainWindow.h"
#include "PluginManager.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    // The user's own connection settings stay as they are.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));

    QTemporaryDir dir;
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::MergedChannels);
    simulator.start(QStringLiteral(TAVROLIX_DEVSIM_PATH),
                    {QStringLiteral("--device"), QStringLiteral("ind4"),
                     QStringLiteral("--virtual"), dir.filePath(QStringLiteral("line"))});
    QByteArray output;
    while (!output.contains("Open this port") && simulator.waitForReadyRead(10000))
        output += simulator.readAll();
    QObject::connect(&simulator, &QProcess::readyRead, &simulator,
                     [&simulator] { simulator.readAll(); });

    MainWindow window;
    window.show();
    window.findChild<QComboBox *>(QStringLiteral("portCombo"))
        ->setEditText(dir.filePath(QStringLiteral("line/configurator")));
    window.findChild<QPushButton *>(QStringLiteral("connectButton"))->click();
    auto *pages = window.findChild<QStackedWidget *>(QStringLiteral("pageStack"));
    auto *monitor =
        pages->currentWidget()->findChild<QPushButton *>(QStringLiteral("monitorButton"));
    if (!monitor) {
        out << "No LED indicator page: " << output << Qt::endl;
        return 1;
    }
    monitor->click();
    auto *traffic = window.findChild<QDockWidget *>(QStringLiteral("trafficView"));
    for (const bool open : {false, true}) {
        traffic->setVisible(open);
        wait(1000);
        const double before = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        wait(seconds * 1000);
        const double used = cpuSeconds() - before;
        out << QString::asprintf("traffic view %-6s: %.3f s of CPU in %.1f s (%.2f %%)\n",
                                 open ? "open" : "closed", used, clock.elapsed() / 1000.0,
                                 100 * used * 1000 / clock.elapsed())
            << Qt::flush;
    }
    monitor->click();
    simulator.terminate();
    simulator.waitForFinished(5000);
    return 0;
}
