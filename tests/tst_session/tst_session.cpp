#include "DevicePlugin.h"
#include "DeviceSimulator.h"
#include "I18n.h"
#include "LogLines.h"
#include "MainWindow.h"
#include "MessageBoxAnswerer.h"
#include "ModbusClient.h"
#include "OutputModuleModel.h"
#include "PluginManager.h"
#include "VirtualSerialPair.h"

#include <QtTest>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace {

// "3@100x6" for a read, "16@100=1,3" for a write.
QStringList describe(const QList<SimulatedRequest> &requests)
{
    QStringList lines;
    for (const SimulatedRequest &request : requests) {
        QString line = QStringLiteral("%1@%2").arg(request.function).arg(request.address);
        if (request.values.isEmpty()) {
            line += QStringLiteral("x%1").arg(request.count);
        } else {
            QStringList values;
            for (quint16 value : request.values)
                values << QString::number(value);
            line += QLatin1Char('=') + values.join(QLatin1Char(','));
        }
        lines << line;
    }
    return lines;
}

const QString connecting = QStringLiteral("Connecting to <pty> @ 9600 N...");
const QString identified = QStringLiteral("Connected: outputModuleDO8");
const QString confirm = QStringLiteral("Confirm|Save settings to flash?|Question|No,Yes");

} // namespace

class tst_Session : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void identification_data();
    void identification();
    void readAll();
    void saveToFlash_data();
    void saveToFlash();
    void disconnectDuringRead();
    void disconnectDuringSave();
    void secondClickDuringIdentification();
    void reconnect();
    void cablePulled();

private:
    void openWindow(const QString &port);
    // Clicks a button of the window while `answerer` handles the boxes it opens.
    void click(const char *button);
    // Fails the request that matches "function@address" once, in the way `fault` says.
    void failRequest(const QString &which, DeviceSimulator::Fault fault, int parameter,
                     int times = 1);
    QStringList log() const { return logLines(m_window.get()).mid(m_logStart); }
    QString panel() const;
    QStackedWidget *stack() const
    {
        return m_window->findChild<QStackedWidget *>(QStringLiteral("pageStack"));
    }
    QStringList expand(QStringList lines) const
    {
        lines.replaceInStrings(QStringLiteral("<pty>"), m_pair.clientPath());
        return lines;
    }

    QTemporaryDir m_stateDir;
    VirtualSerialPair m_pair;
    std::unique_ptr<DeviceSimulator> m_device;
    std::unique_ptr<OutputModuleModel> m_model;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MessageBoxAnswerer> m_answerer;
    int m_logStart = 0;
};

void tst_Session::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Tavrolix Configurator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrolix"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    I18n::instance()->setLanguage(Lang::English);
    PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
    QVERIFY(PluginManager::instance()->pluginForSignature(4));
    QVERIFY(m_stateDir.isValid());
    QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
}

void tst_Session::init()
{
    QSettings().remove(QStringLiteral("connection"));
    QFile::remove(m_stateDir.filePath(QStringLiteral("do8.ini")));
    m_device = std::make_unique<DeviceSimulator>();
    m_model = std::make_unique<OutputModuleModel>();
    m_model->setStatePath(m_stateDir.filePath(QStringLiteral("do8.ini")));
    m_model->attach(m_device.get());
    QVERIFY(m_device->start(m_pair.devicePath()));
    openWindow(m_pair.clientPath());
}

void tst_Session::cleanup()
{
    m_answerer.reset();
    m_window.reset();
    m_model.reset();
    m_device.reset();
}

void tst_Session::openWindow(const QString &port)
{
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    m_window->findChild<QComboBox *>(QStringLiteral("portCombo"))->setEditText(port);
    m_answerer = std::make_unique<MessageBoxAnswerer>(m_window.get());
    m_logStart = logLines(m_window.get()).size();
}

void tst_Session::click(const char *button)
{
    auto *target = m_window->findChild<QPushButton *>(QLatin1String(button));
    QVERIFY2(target, button);
    QTest::mouseClick(target, Qt::LeftButton);
}

void tst_Session::failRequest(const QString &which, DeviceSimulator::Fault fault,
                              int parameter, int times)
{
    // The fault is armed from the request's own log entry, so it hits that request.
    auto *device = m_device.get();
    auto armed = std::make_shared<bool>(false);
    QObject::connect(device, &DeviceSimulator::requestReceived, device,
                     [=](const SimulatedRequest &request) {
                         const QString id =
                             QStringLiteral("%1@%2").arg(request.function).arg(request.address);
                         if (!*armed && id == which) {
                             *armed = true;
                             device->setFault(fault, parameter, times);
                         }
                     });
}

QString tst_Session::panel() const
{
    const auto *status = m_window->findChild<QLabel *>(QStringLiteral("statusLabel"));
    return QStringList{
        m_window->findChild<QPushButton *>(QStringLiteral("connectButton"))->text(),
        status->text(),
        m_window->findChild<QLabel *>(QStringLiteral("versionLabel"))->text(),
        m_window->findChild<QLabel *>(QStringLiteral("deviceLabel"))->text(),
        QString::number(stack()->count())}
        .join(QLatin1Char('|'));
}

void tst_Session::identification_data()
{
    QTest::addColumn<int>("signature");
    QTest::addColumn<QString>("version"); // "major.minor" the device reports
    QTest::addColumn<QString>("failing"); // request that goes unanswered
    QTest::addColumn<QStringList>("logged");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("panel"); // "button|status|version|device|pages"
    QTest::addColumn<QStringList>("requests");

    const QStringList none;
    const QStringList identity{"4@0x1", "4@1x2"};
    const QStringList editorRead{"3@0x1", "3@100x6"};
    const QString session = QStringLiteral("Disconnect|Connected|1.3|outputModuleDO8|2");
    const QString closed = QStringLiteral("Connect|Disconnected|-||1");

    QTest::newRow("output module") << 4 << "1.3" << "" << QStringList{connecting, identified}
                                   << none << session << identity + editorRead;
    QTest::newRow("version 2.15") << 4 << "2.15" << "" << QStringList{connecting, identified}
                                  << none << "Disconnect|Connected|2.15|outputModuleDO8|2"
                                  << identity + editorRead;
    // A version that was never read is not shown.
    QTest::newRow("version unanswered")
        << 4 << "1.3" << "4@1" << QStringList{connecting, identified} << none
        << "Disconnect|Connected|-|outputModuleDO8|2"
        << identity + QStringList{"4@1x2"} + editorRead;
    QTest::newRow("unknown device")
        << 0x1234 << "1.0" << "" << QStringList{connecting, "Unknown device (signature 4660)"}
        << QStringList{"Warning|Unknown device.\nNo plugin for this type.\n\nSignature: 4660|"
                       "Warning"}
        << closed << QStringList{"4@0x1"};
    QTest::newRow("no answer")
        << 4 << "1.3" << "4@0" << QStringList{connecting, "Failed to read signature"}
        << QStringList{"Error|Failed to read device signature|Critical"} << closed
        << QStringList{"4@0x1", "4@0x1"};
}

void tst_Session::identification()
{
    QFETCH(int, signature);
    QFETCH(QString, version);
    QFETCH(QString, failing);
    QFETCH(QStringList, logged);
    QFETCH(QStringList, boxes);
    QFETCH(QString, panel);
    QFETCH(QStringList, requests);

    m_device->setIdentity(quint16(signature), quint16(version.section(QLatin1Char('.'), 0, 0)
                                                          .toUInt()),
                          quint16(version.section(QLatin1Char('.'), 1).toUInt()));
    if (!failing.isEmpty()) // both attempts of the request go unanswered
        failRequest(failing, DeviceSimulator::Fault::NoReply, 0, 2);

    click("connectButton");

    QCOMPARE(log(), expand(logged));
    QCOMPARE(m_answerer->boxes(), boxes);
    QCOMPARE(this->panel(), panel);
    QCOMPARE(describe(m_device->requests()), requests);
    const bool inSession = panel.startsWith(QLatin1String("Disconnect"));
    QCOMPARE(m_window->findChild<ModbusClient *>()->isConnected(), inSession);
    QCOMPARE(stack()->currentIndex(), inSession ? 1 : 0);
    // Only a device with a plug-in leaves its connection stored.
    QCOMPARE(QSettings().contains(QStringLiteral("connection/port")), inSession);
}

void tst_Session::readAll()
{
    m_device->setHoldingRegister(0, 0x00A5);
    click("connectButton");
    auto *out1 = stack()->widget(1)->findChild<QPushButton *>(QStringLiteral("out1"));
    QVERIFY(out1 && out1->isChecked());

    m_device->setHoldingRegister(0, 0x0002);
    m_device->clearRequests();
    m_logStart = logLines(m_window.get()).size();
    click("readAllButton");

    QCOMPARE(log(), QStringList{QStringLiteral("Settings loaded")});
    QCOMPARE(describe(m_device->requests()), (QStringList{"3@0x1", "3@100x6"}));
    QVERIFY(!out1->isChecked());
    QVERIFY(m_answerer->boxes().isEmpty());
}

void tst_Session::saveToFlash_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("failing"); // request answered with an exception
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("logged");
    QTest::addColumn<bool>("saved");

    const QStringList editorWrites{"16@100=1,3", "6@102=0", "16@104=2,0"};
    const QString refused = QStringLiteral("Error|Modbus Exception Response.|Critical");

    QTest::newRow("answered No") << int(QMessageBox::No) << "" << QStringList()
                                 << QStringList{confirm} << QStringList() << false;
    QTest::newRow("answered Yes")
        << int(QMessageBox::Yes) << "" << editorWrites + QStringList{"6@99=768"}
        << QStringList{confirm, "Success|Saved successfully!|Information"}
        << QStringList{"Saved to flash"} << true;
    // Flashing after a failed write would store half-written settings.
    QTest::newRow("an editor write fails")
        << int(QMessageBox::Yes) << "6@102" << editorWrites << QStringList{confirm, refused}
        << QStringList() << false;
    QTest::newRow("save command refused")
        << int(QMessageBox::Yes) << "6@99" << editorWrites + QStringList{"6@99=768"}
        << QStringList{confirm, refused} << QStringList() << false;
}

void tst_Session::saveToFlash()
{
    QFETCH(int, answer);
    QFETCH(QString, failing);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, logged);
    QFETCH(bool, saved);

    click("connectButton");
    m_device->clearRequests();
    m_logStart = logLines(m_window.get()).size();
    if (!failing.isEmpty())
        failRequest(failing, DeviceSimulator::Fault::Exception, 4);
    QSignalSpy saves(m_device.get(), &DeviceSimulator::saveCommandReceived);
    m_answerer->setAnswer(QMessageBox::StandardButton(answer));

    click("saveToFlashButton");

    QCOMPARE(describe(m_device->requests()), requests);
    QCOMPARE(m_answerer->boxes(), boxes);
    QCOMPARE(log(), logged);
    QCOMPARE(saves.size(), saved ? 1 : 0);
}

void tst_Session::disconnectDuringRead()
{
    click("connectButton");
    QPointer<QWidget> page = stack()->widget(1);
    QVERIFY(page);

    // The editor's first read waits for a slow device while the user disconnects.
    bool pageAliveWhileWaiting = false;
    int pagesWhileWaiting = -1;
    m_device->setFault(DeviceSimulator::Fault::Delay, 300, 1);
    QTimer::singleShot(100, this, [&] {
        click("connectButton");
        pagesWhileWaiting = stack()->count();
        pageAliveWhileWaiting = !page.isNull();
    });
    m_logStart = logLines(m_window.get()).size();
    click("readAllButton");

    QCOMPARE(pagesWhileWaiting, 1);      // the page left the window at once,
    QVERIFY(pageAliveWhileWaiting);      // but not from under its own code,
    QTRY_VERIFY(page.isNull());          // and is gone once that code is done
    QCOMPARE(log(), QStringList{QStringLiteral("Disconnected")});
    QCOMPARE(panel(), QStringLiteral("Connect|Disconnected|-||1"));
    QVERIFY(m_answerer->boxes().isEmpty());
}

void tst_Session::disconnectDuringSave()
{
    click("connectButton");
    m_device->clearRequests();
    m_logStart = logLines(m_window.get()).size();
    m_answerer->setAnswer(QMessageBox::Yes);
    // The first editor write waits; meanwhile the user disconnects.
    failRequest(QStringLiteral("16@100"), DeviceSimulator::Fault::Delay, 300);
    QObject::connect(m_device.get(), &DeviceSimulator::requestReceived, this,
                     [this](const SimulatedRequest &request) {
                         if (request.function == 16 && request.address == 100)
                             QTimer::singleShot(50, this, [this] { click("connectButton"); });
                     });
    QSignalSpy saves(m_device.get(), &DeviceSimulator::saveCommandReceived);

    click("saveToFlashButton");

    QCOMPARE(describe(m_device->requests()), QStringList{QStringLiteral("16@100=1,3")});
    QCOMPARE(saves.size(), 0);
    QCOMPARE(m_answerer->boxes(),
             (QStringList{confirm, QStringLiteral("Error|Not connected|Critical")}));
    QCOMPARE(log(), QStringList{QStringLiteral("Disconnected")});
    QTRY_COMPARE(m_window->findChildren<QWidget *>(QStringLiteral("out1")).size(), 0);
}

void tst_Session::secondClickDuringIdentification()
{
    m_device->setFault(DeviceSimulator::Fault::Delay, 300, 1);
    QTimer::singleShot(100, this, [this] { click("connectButton"); });
    click("connectButton");

    QCOMPARE(log(), expand({connecting, QStringLiteral("Disconnected")}));
    QCOMPARE(panel(), QStringLiteral("Connect|Disconnected|-||1"));
    QVERIFY(!m_window->findChild<ModbusClient *>()->isConnected());
    QVERIFY(m_answerer->boxes().isEmpty());
}

void tst_Session::reconnect()
{
    click("connectButton");
    QPointer<QWidget> first = stack()->widget(1);
    click("connectButton");
    QVERIFY(first.isNull());

    // Another device type on the same line: no plug-in serves it.
    m_device->setIdentity(0x1234, 1, 0);
    click("connectButton");
    QCOMPARE(panel(), QStringLiteral("Connect|Disconnected|-||1"));

    m_device->setIdentity(4, 1, 3);
    click("connectButton");
    QCOMPARE(panel(), QStringLiteral("Disconnect|Connected|1.3|outputModuleDO8|2"));
    QCOMPARE(log(), expand({connecting, identified, "Disconnected", connecting,
                            "Unknown device (signature 4660)", connecting, identified}));
}

void tst_Session::cablePulled()
{
    click("connectButton");
    auto *out1 = stack()->widget(1)->findChild<QPushButton *>(QStringLiteral("out1"));
    QVERIFY(out1 && out1->isEnabled());
    m_logStart = logLines(m_window.get()).size();

    // First the device falls silent, then the adapter disappears altogether.
    m_device->setFault(DeviceSimulator::Fault::NoReply);
    QElapsedTimer clock;
    clock.start();
    click("readAllButton");
    QTest::mouseClick(out1, Qt::LeftButton);
    m_device->stop();
    m_pair.close();
    click("readAllButton");
    QVERIFY2(clock.elapsed() < 6000, "every request must give up within its guard time");

    click("connectButton");
    QCOMPARE(log(), (QStringList{"Settings loaded", "Settings loaded", "Disconnected"}));
    QCOMPARE(panel(), QStringLiteral("Connect|Disconnected|-||1"));
    QVERIFY(m_answerer->boxes().isEmpty());
    QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString())); // for the tests after this
}

QTEST_MAIN(tst_Session)
#include "tst_session.moc"
