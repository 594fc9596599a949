#include "DeviceBench.h"
#include "DeviceSimulator.h"
#include "LogLines.h"
#include "MainWindow.h"
#include "MessageBoxAnswerer.h"
#include "ModbusClient.h"
#include "OutputModuleModel.h"
#include "PluginManager.h"
#include "TestApplication.h"
#include "VirtualSerialPair.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

// The device session of the main window against a simulated output module.
class tst_Session : public QObject
{
    Q_OBJECT

    QTemporaryDir m_stateDir;
    DeviceBench m_bench;

    MainWindow *window() const { return m_bench.window(); }
    DeviceSimulator *device() const { return m_bench.device(); }
    void click(const QString &button) { QVERIFY2(m_bench.click(button), qPrintable(button)); }
    int editors() const { return window()->findChildren<QWidget *>("out1").size(); }
    QStackedWidget *stack() const { return window()->findChild<QStackedWidget *>("pageStack"); }
    QString label(const char *name) const { return window()->findChild<QLabel *>(name)->text(); }
    QString panel() const // "button|status|version|device|pages"
    {
        return QStringList{window()->findChild<QPushButton *>("connectButton")->text(),
                           label("statusLabel"), label("versionLabel"), label("deviceLabel"),
                           QString::number(stack()->count())}
            .join('|');
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
        QVERIFY(m_stateDir.isValid());
        QVERIFY2(m_bench.open(), qPrintable(m_bench.errorString()));
    }
    void init()
    {
        QSettings().remove(QStringLiteral("connection"));
        const QString state = m_stateDir.filePath(QStringLiteral("do8.ini"));
        QFile::remove(state);
        QVERIFY(m_bench.start(std::make_unique<OutputModuleModel>(), state));
        m_bench.openWindow();
    }
    void cleanup()
    {
        m_bench.closeWindow();
        m_bench.stop();
    }

    void session_data()
    {
        // Buttons clicked ("saveToFlash No" answers No), or "signature N" for the device.
        QTest::addColumn<QStringList>("steps");
        // "function@address Fault parameter times": meets a request of the last step; the
        // user clicks Connect (to disconnect) while a Delay-ed one waits...
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("waiting"); // ...and meanwhile sees "pages|editors"
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("panel"); // "button|status|version|device|pages"
        QTest::addColumn<QStringList>("requests"); // of the last step

        const QString connecting = QStringLiteral("Connecting to <pty> @ 9600 N...");
        const QString identified = QStringLiteral("Connected: outputModuleDO8");
        const QString confirm = QStringLiteral("Confirm|Save settings to flash?|Question|No,Yes");
        const QString inSession = QStringLiteral("Disconnect|Connected|1.3|outputModuleDO8|2");
        const QString closed = QStringLiteral("Connect|Disconnected|-||1");
        const QString refused = QStringLiteral("Unknown device (signature 4660)");
        const QString unknown = QStringLiteral(
            "Warning|Unknown device.\nNo plugin for this type.\n\nSignature: 4660|Warning");
        const QStringList connected{connecting, identified}, none, connect{"connect"};
        const QStringList identity{"4@0x1", "4@1x2"}, read{"3@0x1", "3@100x6"};
        const QStringList save{"connect", "saveToFlash"};
        const QStringList writes{"16@100=1,3", "6@102=0", "16@104=2,0"};
        using L = QStringList;

        QTest::newRow("output module")
            << connect << "" << "" << connected << none << inSession << identity + read;
        // A version that was never read is not shown.
        QTest::newRow("version unanswered")
            << connect << "4@1 NoReply 0 2" << "" << connected << none
            << "Disconnect|Connected|-|outputModuleDO8|2" << identity + L{"4@1x2"} + read;
        QTest::newRow("unknown device")
            << L{"signature 4660", "connect"} << "" << "" << L{connecting, refused} << L{unknown}
            << closed << L{"4@0x1"};
        QTest::newRow("signature unanswered")
            << connect << "4@0 NoReply 0 2" << "" << L{connecting, "Failed to read signature"}
            << L{"Error|Failed to read device signature|Critical"} << closed
            << L{"4@0x1", "4@0x1"};
        QTest::newRow("second click stops identification")
            << connect << "4@0 Delay 300 1" << "1|0" << L{connecting, "Disconnected"} << none
            << closed << L{"4@0x1"};
        // The page leaves the window at once, but is destroyed only after its read.
        QTest::newRow("disconnect during Read All")
            << L{"connect", "readAll"} << "3@0 Delay 300 1" << "1|1"
            << connected + L{"Disconnected"} << none << closed << L{"3@0x1"};
        QTest::newRow("save answered No") << L{"connect", "saveToFlash No"} << "" << ""
                                          << connected << L{confirm} << inSession << none;
        QTest::newRow("save") << save << "" << "" << connected + L{"Saved to flash"}
                              << L{confirm, "Success|Saved successfully!|Information"}
                              << inSession << writes + L{"6@99=768"};
        // Flashing after a failed write would store half-written settings.
        QTest::newRow("save after a failed write")
            << save << "6@102 Exception 4 1" << "" << connected
            << L{confirm, "Error|Modbus exception 4 (server device failure)|Critical"} << inSession << writes;
        QTest::newRow("disconnect during save")
            << save << "16@100 Delay 300 1" << "1|1" << connected + L{"Disconnected"}
            << L{confirm, "Error|Not connected|Critical"} << closed << L{"16@100=1,3"};
        QTest::newRow("another device type, back, Read All")
            << L{"connect", "connect", "signature 4660", "connect", "signature 4", "connect",
                 "readAll"} << "" << ""
            << connected + L{"Disconnected", connecting, refused} + connected + L{"Settings loaded"}
            << L{unknown} << inSession << read;
    }
    void session()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, fault);
        const int lines = logLines(window()).size();
        QString waiting;
        for (const QString &step : std::as_const(steps)) {
            const QStringList words = step.split(' ');
            if (words[0] == "signature") {
                device()->setIdentity(words[1].toUShort(), 1, 3);
                continue;
            }
            if (&step == &steps.constLast() && !fault.isEmpty()) {
                // Armed from the request's own log entry, so that it hits that request.
                const QStringList f = fault.split(' ');
                const auto kind = DeviceSimulator::Fault(
                    QMetaEnum::fromType<DeviceSimulator::Fault>().keyToValue(qPrintable(f[1])));
                connect(device(), &DeviceSimulator::requestReceived, this,
                        [=, &waiting, armed = false](const SimulatedRequest &r) mutable {
                            if (armed || QStringLiteral("%1@%2").arg(r.function).arg(r.address)
                                             != f[0])
                                return;
                            armed = true;
                            device()->setFault(kind, f[2].toInt(), f[3].toInt());
                            if (kind == DeviceSimulator::Fault::Delay)
                                QTimer::singleShot(0, this, [this, &waiting] {
                                    click("connect");
                                    waiting = QStringLiteral("%1|%2").arg(stack()->count())
                                                  .arg(editors());
                                });
                        });
            }
            device()->clearRequests();
            m_bench.answerer()->setAnswer(words.value(1) == "No" ? QMessageBox::No : QMessageBox::Yes);
            click(words[0]);
        }

        QTEST(logLines(window()).mid(lines).replaceInStrings(m_bench.clientPath(), "<pty>"),
              "logged");
        QTEST(m_bench.answerer()->boxes(), "boxes");
        QTEST(panel(), "panel");
        QTEST(waiting, "waiting");
        QTEST(m_bench.requests(), "requests");
        const bool inSession = panel().startsWith("Disconnect");
        QCOMPARE(window()->findChild<ModbusClient *>()->isConnected(), inSession);
        QCOMPARE(stack()->currentIndex(), inSession ? 1 : 0);
        QTRY_COMPARE(editors(), inSession ? 1 : 0); // retired pages do not linger
        // Only a device with a plug-in leaves its connection stored.
        QCOMPARE(QSettings().contains("connection/port"),
                 logLines(window()).contains("Connected: outputModuleDO8"));
    }

    // A cable pulled mid-session: first the device falls silent, then its port goes away.
    // Every command ends within its time-outs with the window usable meanwhile, a save
    // is reported as failed, and Disconnect ends the session.
    void cablePulled()
    {
        VirtualSerialPair pair;
        QVERIFY2(pair.open(), qPrintable(pair.errorString()));
        DeviceSimulator device;
        OutputModuleModel model;
        model.setStatePath(m_stateDir.filePath(QStringLiteral("pulled.ini")));
        model.attach(&device);
        QVERIFY(device.start(pair.devicePath()));
        window()->findChild<QComboBox *>("portCombo")->setEditText(pair.clientPath());
        click("connect");
        QCOMPARE(panel(), QStringLiteral("Disconnect|Connected|1.3|outputModuleDO8|2"));

        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&ticks] { ++ticks; });
        tick.start(100);
        QElapsedTimer clock;
        clock.start();
        device.setFault(DeviceSimulator::Fault::NoReply);
        click("readAll");
        device.stop();
        pair.close();
        m_bench.answerer()->setAnswer(QMessageBox::Yes);
        click("saveToFlash");
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(ticks >= clock.elapsed() / 200); // the event loop kept running
        QVERIFY(m_bench.answerer()->boxes().constLast().startsWith(QStringLiteral("Error|")));
        QVERIFY(!logLines(window()).contains(QStringLiteral("Saved to flash")));
        click("connect");
        QCOMPARE(panel(), QStringLiteral("Connect|Disconnected|-||1"));
        QTRY_COMPARE(editors(), 0);
    }
};

QTEST_MAIN(tst_Session)
#include "tst_session.moc"
