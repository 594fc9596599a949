#include "DeviceBench.h"
#include "DeviceSession.h"
#include "DeviceSimulator.h"
#include "FindControl.h"
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

namespace {
using L = QStringList;
const L identity{"4@0x1", "4@1x2"}, read{"3@0x1", "3@100x6"};
const L writes{"16@100=1,3", "6@102=0", "16@104=2,0"};
const QString identified = QStringLiteral("Connected: outputModuleDO8");
// The panel: "button|status colour|version|device|pages|port box|baud parity node".
const QString inSession =
    QStringLiteral("Disconnect|Connected #00b000|1.3|outputModuleDO8|2|<pty>|9600 N 1");
const QString closed = QStringLiteral("Connect|Disconnected orange|-||1|<pty>|9600 N 1");
} // namespace

// Connection and device session against a simulated output module: through the main
// window as a user works it, and without a window as a program would.
class tst_Session : public QObject
{
    Q_OBJECT

    QTemporaryDir m_stateDir;
    DeviceBench m_bench;

    MainWindow *window() const { return m_bench.window(); }
    DeviceSimulator *device() const { return m_bench.device(); }
    template<typename T = QWidget>
    T *child(const char *name) const { return findControl<T>(window(), QLatin1String(name)); }
    ModbusClient *client() const { return window()->findChild<ModbusClient *>(); }
    void click(const QString &button) { QVERIFY2(m_bench.click(button), qPrintable(button)); }
    int editors() const { return window()->findChildren<QWidget *>("out1").size(); }
    QString panel() const
    {
        const auto *status = child<QLabel>("statusLabel");
        return L{child<QPushButton>("connectButton")->text(),
                 status->text() + ' ' + status->styleSheet().section(';', 0, 0).mid(7),
                 child<QLabel>("versionLabel")->text(), child<QLabel>("deviceLabel")->text(),
                 QString::number(child<QStackedWidget>("pageStack")->count()),
                 child<QComboBox>("portCombo")->currentText(),
                 child<QComboBox>("baudCombo")->currentText() + ' '
                     + QChar(child<QComboBox>("parityCombo")->currentData().toInt()) + ' '
                     + QString::number(child<QSpinBox>("nodeSpin")->value())}
            .join('|');
    }
    // Fills in <pty>, <lastError> and <reason> (the last error after its prefix).
    QStringList expand(QStringList texts) const
    {
        const QString error = window() ? client()->lastError() : QString();
        return texts.replaceInStrings("<pty>", m_bench.clientPath())
            .replaceInStrings("<lastError>", error)
            .replaceInStrings("<reason>", error.section("Connection failed: ", 1));
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
    }
    void cleanup()
    {
        m_bench.closeWindow();
        m_bench.stop();
    }

    void session_data()
    {
        // Buttons clicked ("saveToFlash No" answers No), or "signature N" for the device,
        // "settings PORT BAUD PARITY NODE" stored (and the node set) before a new window,
        // "port TEXT" typed with "ttyVIRT0" listed for the pair, "watch" the status the
        // next click shows while the port opens, "firmware" the firmware window opened
        // (on the pair's port).
        QTest::addColumn<QStringList>("steps");
        // "function@address Fault parameter times": meets a request of the last step; the
        // user clicks Connect (to disconnect) while a Delay-ed one waits...
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("seen"); // ...and meanwhile sees "pages|editors"
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("shown"); // the panel
        QTest::addColumn<QStringList>("requests"); // of the last step
        QTest::addColumn<QString>("stored"); // "port|portName" once the window closed

        const QString connecting = QStringLiteral("Connecting to <pty> @ 9600 N...");
        const QString confirm = QStringLiteral("Confirm|Save settings to flash?|Question|No,Yes");
        const QString refused = QStringLiteral("Unknown device (signature 4660)");
        const QString unknown = QStringLiteral(
            "Warning|Unknown device.\nNo plugin for this type.\n\nSignature: 4660|Warning");
        const QString markup = QStringLiteral("/tmp/tavrolix <i>no</i> & such");
        const L connected{connecting, identified}, none, connect{"connect"};
        const L save{"connect", "saveToFlash"};

        QTest::newRow("connect by name")
            << L{"settings /dev/ttyUSB7 19200 E 17", "port ttyVIRT0", "watch", "connect"} << ""
            << "Connecting... blue" << L{"Connecting to <pty> @ 19200 E...", identified}
            << none << QString(inSession).replace("<pty>|9600 N 1", "ttyVIRT0|19200 E 17")
            << identity + read << "<pty>|ttyVIRT0";
        QTest::newRow("open fails")
            << L{"port " + markup, "connect"} << "" << ""
            << L{"Connecting to " + markup + " @ 9600 N...", "Connection failed: <reason>",
                 "Port " + markup + " did not open: check that the adapter is plugged in and "
                 "that no other program uses it; Refresh lists the ports there are."}
            << L{"Error|<lastError>|Critical"} << QString(closed).replace("<pty>", markup)
            << none << markup + '|' + markup;
        // An unplugged adapter: the port used last stays stored for its return.
        QTest::newRow("no port")
            << L{"settings /dev/ttyUSB7 9600 N 1", "port", "watch", "connect"} << ""
            << "Disconnected orange" << none << L{"Warning|Select a port|Warning"}
            << QString(closed).replace("<pty>", "") << none << "/dev/ttyUSB7|ttyUSB7";
        // The panel shows the defaults; the open connection keeps node 9.
        QTest::newRow("Defaults while connected")
            << L{"settings /dev/ttyUSB7 57600 O 9", "connect", "defaults", "readAll"} << "" << ""
            << L{"Connecting to <pty> @ 57600 O...", identified,
                 "Connection settings reset to defaults (9600, None, Node 1)", "Settings loaded"}
            << none << inSession << read << "";
        // A version that was never read is not shown.
        QTest::newRow("version unanswered")
            << connect << "4@1 NoReply 0 2" << "" << connected << none
            << QString(inSession).replace("1.3", "-") << identity + L{"4@1x2"} + read << "";
        QTest::newRow("unknown device") << L{"signature 4660", "connect"} << "" << ""
                                        << L{connecting, refused} << L{unknown} << closed
                                        << L{"4@0x1"} << "";
        // The log says what to check.
        QTest::newRow("signature unanswered")
            << connect << "4@0 NoReply 0 2" << "" << L{connecting, "Failed to read signature",
                 "Node 1 at 9600 baud, parity N did not answer: check wiring, node, baud rate "
                 "and parity, or use Scan Bus."}
            << L{"Error|Failed to read device signature|Critical"} << closed << L(2, "4@0x1")
            << "";
        QTest::newRow("second click stops identification")
            << connect << "4@0 Delay 300 1" << "1|0" << L{connecting, "Disconnected"} << none
            << closed << L{"4@0x1"} << "";
        // The page leaves the window at once, but is destroyed only after its read.
        QTest::newRow("disconnect during Read All")
            << L{"connect", "readAll"} << "3@0 Delay 300 1" << "1|1"
            << connected + L{"Disconnected"} << none << closed << L{"3@0x1"} << "";
        QTest::newRow("save answered No") << L{"connect", "saveToFlash No"} << "" << ""
                                          << connected << L{confirm} << inSession << none << "";
        // Flashing after a failed write would store half-written settings.
        QTest::newRow("save after a failed write")
            << save << "6@102 Exception 4 1" << ""
            << connected + L{"Save to flash failed: Modbus exception 4 (server device failure)"}
            << L{confirm, "Error|Modbus exception 4 (server device failure)|Critical"}
            << inSession << writes
            << "";
        QTest::newRow("disconnect during save")
            << save << "16@100 Delay 300 1" << "1|1"
            << connected + L{"Disconnected", "Save to flash failed: Not connected"}
            << L{confirm, "Error|Not connected|Critical"} << closed << L{"16@100=1,3"} << "";
        // A refresh keeps the typed path: the port opens again.
        QTest::newRow("refresh, another device type, back, Read All")
            << L{"connect", "connect", "refresh", "signature 4660", "connect", "signature 4",
                 "connect", "readAll"} << "" << ""
            << connected + L{"Disconnected", "Serial ports refreshed", connecting, refused}
                   + connected + L{"Settings loaded"}
            << L{unknown} << inSession << read << "";
        // A fresh firmware window each time, beside a session that it leaves alone.
        QTest::newRow("firmware window, save")
            << L{"connect", "firmware", "firmware", "saveToFlash"} << ""
            << "Firmware Update fresh;Firmware Update fresh;"
            << connected + L{"Saved to flash"}
            << L{confirm, "Success|Saved successfully!|Information"} << inSession
            << writes + L{"6@99=768"} << "";
    }
    void session()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, fault);
        QFETCH(QStringList, logged);
        QFETCH(QStringList, boxes);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        m_bench.openWindow();
        int lines = logLines(window()).size();
        QString seen;
        for (const QString &step : std::as_const(steps)) {
            const QStringList words = step.split(' ');
            if (words[0] == "signature") {
                device()->setIdentity(words[1].toUShort(), 1, 3);
            } else if (words[0] == "settings") {
                m_bench.closeWindow(); // which stores its own first
                QSettings settings;
                for (int i = 1; i < 5; ++i)
                    settings.setValue("connection/" + L{"port", "baud", "parity", "node"}[i - 1],
                                      words[i]);
                settings.setValue("connection/portName", QFileInfo(words[1]).fileName());
                device()->setServerAddress(words[4].toInt());
                m_bench.openWindow();
                lines = logLines(window()).size();
            } else if (words[0] == "port") {
                auto *ports = child<QComboBox>("portCombo");
                ports->clear();
                if (words.size() > 1)
                    ports->addItem("ttyVIRT0", m_bench.clientPath());
                ports->setEditText(step.section(' ', 1));
            } else if (words[0] == "watch") { // runs in the window's one pass of events
                QMetaObject::invokeMethod(
                    this, [this, &seen] { seen = panel().section('|', 1, 1); },
                    Qt::QueuedConnection);
            } else if (words[0] == "firmware") {
                QTimer::singleShot(0, this, [this, &seen] {
                    auto *dialog = QApplication::activeModalWidget();
                    auto *fwLog = findControl<QTextEdit>(dialog, "firmwareLog");
                    seen += dialog->windowTitle()
                            + (fwLog->document()->isEmpty() ? " fresh" : " used")
                            + (findControl<QComboBox>(dialog, "portCombo")->currentText()
                                       == m_bench.clientPath() ? ";" : " elsewhere;");
                    fwLog->append(QStringLiteral("left from an earlier upload"));
                    dialog->close();
                });
                window()->findChild<QAction *>("firmwareUpdateAction")->trigger();
            } else {
                if (&step == &steps.constLast() && !fault.isEmpty()) {
                    // Armed from the request's own log entry, so that it hits that request.
                    const QStringList f = fault.split(' ');
                    const int kind =
                        QMetaEnum::fromType<DeviceSimulator::Fault>().keyToValue(qPrintable(f[1]));
                    connect(device(), &DeviceSimulator::requestReceived, this,
                            [=, &seen, on = false](const SimulatedRequest &r) mutable {
                                if (on || f[0] != QString("%1@%2").arg(r.function).arg(r.address))
                                    return;
                                on = true;
                                device()->setFault(DeviceSimulator::Fault(kind), f[2].toInt(),
                                                   f[3].toInt());
                                if (kind == int(DeviceSimulator::Fault::Delay))
                                    QTimer::singleShot(0, this, [this, &seen] {
                                        click("connect");
                                        seen = panel().section('|', 4, 4) + '|'
                                               + QString::number(editors());
                                    });
                            });
                }
                device()->clearRequests();
                m_bench.answerer()->setAnswer(words.value(1) == "No" ? QMessageBox::No
                                                                     : QMessageBox::Yes);
                click(words[0]);
            }
        }

        QCOMPARE(logLines(window()).mid(lines), expand(logged));
        QCOMPARE(m_bench.answerer()->boxes(), expand(boxes));
        QCOMPARE(panel(), expand({shown})[0]);
        QTEST(seen, "seen");
        QTEST(m_bench.requests(), "requests");
        const bool open = panel().startsWith("Disconnect");
        QCOMPARE(client()->isConnected(), open);
        QCOMPARE(child<QStackedWidget>("pageStack")->currentIndex(), open ? 1 : 0);
        QTRY_COMPARE(editors(), open ? 1 : 0); // retired pages do not linger
        // Only a device with a plug-in leaves its connection stored.
        QCOMPARE(QSettings().value("connection/port") == m_bench.clientPath(),
                 logged.contains(identified));
        m_bench.closeWindow(); // which stores the port
        if (!stored.isEmpty())
            QCOMPARE(QSettings().value("connection/port").toString() + '|'
                         + QSettings().value("connection/portName").toString(),
                     expand({stored})[0]);
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
        model.attach(&device);
        QVERIFY(device.start(pair.devicePath()));
        m_bench.openWindow();
        child<QComboBox>("portCombo")->setEditText(pair.clientPath());
        click("connect");
        QVERIFY(panel().startsWith("Disconnect|Connected #00b000|1.3|outputModuleDO8|2"));

        int ticks = 0;
        QTimer tick;
        tick.callOnTimeout([&ticks] { ++ticks; });
        tick.start(100);
        QElapsedTimer clock;
        clock.start();
        device.setFault(DeviceSimulator::Fault::NoReply);
        click("readAll");
        device.stop();
        pair.close();
        // The window notices the port gone and ends the session by itself.
        QTRY_VERIFY(logLines(window()).constLast().startsWith(QStringLiteral("Connection lost: ")));
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(ticks >= clock.elapsed() / 200); // the event loop kept running
        QVERIFY(panel().startsWith("Connect|Disconnected orange|-||1|"));
        QTRY_COMPARE(editors(), 0);
    }

    // A program without a window: the session asks nothing, shows nothing, and answers
    // each command with its end and the reason of a failure.
    void withoutWindow()
    {
        using S = DeviceSession::Status;
        const MessageBoxAnswerer answerer(nullptr);
        DeviceSession session(m_bench.client());
        QSignalSpy identified(&session, &DeviceSession::deviceIdentified);
        QVERIFY(session.open(m_bench.clientPath(), 9600, 'N', 1).ok());
        QVERIFY(session.identify(nullptr).ok() && identified.count() == 1);
        QCOMPARE(session.firmwareVersion(), "1.3");
        const QPointer<QWidget> page = session.page();
        QVERIFY(page && !page->parent());
        QVERIFY(session.readAll().ok());
        QVERIFY(session.saveToFlash().ok());
        QCOMPARE(m_bench.requests(), identity + read + read + writes + L{"6@99=768"});

        device()->clearRequests();
        device()->setFault(DeviceSimulator::Fault::Exception, 4, 1);
        const DeviceSession::Result refused = session.saveToFlash();
        QCOMPARE(refused.status, S::WriteFailed);
        QCOMPARE(refused.reason, "Modbus exception 4 (server device failure)");
        QCOMPARE(m_bench.requests(), writes); // and no save command
        session.close();
        QVERIFY(!page);
        QCOMPARE(session.readAll().status, S::NotConnected);
        QCOMPARE(answerer.boxes(), L{});
    }
};

QTEST_MAIN(tst_Session)
#include "tst_session.moc"
