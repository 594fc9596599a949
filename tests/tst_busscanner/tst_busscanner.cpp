#include "BusScanDialog.h"
#include "BusScanner.h"
#include "DeviceSimulator.h"
#include "MainWindow.h"
#include "ModbusClient.h"
#include "PluginManager.h"
#include "TestApplication.h"
#include "VirtualBus.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

using Fault = DeviceSimulator::Fault;
using Setting = BusScanner::Setting;

namespace {

// "node baud parity signature version" of each device found; "refused" for a device
// that answers with exceptions only.
QStringList described(const QList<BusScanner::Device> &devices)
{
    QStringList lines;
    for (const BusScanner::Device &d : devices) {
        const QString where = QStringLiteral("%1 %2 %3").arg(d.node).arg(d.setting.baudRate)
                                  .arg(QChar::fromLatin1(d.setting.parity));
        lines << where + (d.refused ? QStringLiteral(" refused")
                                    : QStringLiteral(" %1 %2.%3").arg(d.signature)
                                          .arg(d.versionMajor).arg(d.versionMinor));
    }
    return lines;
}

QList<int> range(int first, int last)
{
    QList<int> nodes;
    for (int node = first; node <= last; ++node)
        nodes << node;
    return nodes;
}

} // namespace

// A scan of a simulated line: do8 at node 1 and ind4 at 5 (9600 N), a device at 7 that
// answers every request with an exception (9600 N), and gsm at 12 (19200 E).
class tst_BusScanner : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    VirtualBus m_bus;
    DeviceSimulator m_devices[4];
    DeviceSimulator &m_device = m_devices[0];
    BusScanner m_scanner;

    int heard() const
    {
        int requests = 0;
        for (const DeviceSimulator &device : m_devices)
            requests += int(device.requests().size());
        return requests;
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        struct Setup
        {
            quint16 signature;
            int node;
            int baudRate;
            QSerialPort::Parity parity;
        };
        const Setup setups[] = {{4, 1, 9600, QSerialPort::NoParity},
                                {9, 5, 9600, QSerialPort::NoParity},
                                {2, 7, 9600, QSerialPort::NoParity},
                                {5, 12, 19200, QSerialPort::EvenParity}};
        QVERIFY2(m_bus.open(m_dir.path()), qPrintable(m_bus.errorString()));
        for (int i = 0; i < 4; ++i) {
            m_devices[i].setIdentity(setups[i].signature, 1, quint16(setups[i].node));
            const QString port =
                m_bus.addDevice(setups[i].node, setups[i].baudRate, setups[i].parity);
            QVERIFY2(m_devices[i].start(port, setups[i].node, setups[i].baudRate,
                                        setups[i].parity),
                     qPrintable(m_devices[i].errorString()));
        }
        m_devices[2].setAddressFilter([](auto, int, int) { return false; });
        m_scanner.setPort(m_bus.clientPath());
    }
    void init()
    {
        m_device.clearFault();
        m_bus.setNoiseFromMismatched(false);
        for (DeviceSimulator &device : m_devices)
            device.clearRequests();
        m_scanner.setSettings({{9600, 'N'}});
        m_scanner.setStopAtFirst(false);
    }

    void scan_data()
    {
        QTest::addColumn<QList<int>>("nodes");
        QTest::addColumn<QString>("settings"); // "baud parity" pairs, "fault", "noise"
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QList<int>>("noise"); // per setting
        QTest::addColumn<int>("heard"); // requests the devices received
        const QStringList atFirst{"1 9600 N 4 1.1", "5 9600 N 9 1.5", "7 9600 N refused"};
        QTest::newRow("one setting: the devices at it, nothing else")
            << range(1, 14) << "9600 N" << atFirst << QList<int>{0} << 5;
        QTest::newRow("two settings")
            << range(1, 14) << "9600 N,19200 E" << atFirst + QStringList{"12 19200 E 5 1.12"}
            << QList<int>{0, 0} << 7;
        QTest::newRow("silent range") << range(20, 24) << "9600 N" << QStringList()
                                      << QList<int>{0} << 0;
        QTest::newRow("stop at the first") << range(1, 14) << "9600 N,first"
                                           << QStringList{"1 9600 N 4 1.1"} << QList<int>{0} << 2;
        QTest::newRow("noise from a device at another setting")
            << QList<int>{12} << "9600 N,noise" << QStringList() << QList<int>{1} << 0;
        QTest::newRow("bad checksum is noise") << QList<int>{1, 5} << "9600 N,fault BadCrc"
                                               << QStringList{"5 9600 N 9 1.5"}
                                               << QList<int>{1} << 3;
        QTest::newRow("long reply is noise") << QList<int>{1} << "9600 N,fault LongReply"
                                             << QStringList() << QList<int>{1} << 1;
    }
    void scan()
    {
        QFETCH(QList<int>, nodes);
        QFETCH(QString, settings);
        QList<Setting> chosen;
        for (const QString &word : settings.split(',')) {
            if (word == "first") {
                m_scanner.setStopAtFirst(true);
            } else if (word == "noise") {
                m_bus.setNoiseFromMismatched(true);
            } else if (word.startsWith("fault ")) {
                m_device.setFault(Fault(QMetaEnum::fromType<Fault>().keyToValue(
                                      qPrintable(word.mid(6)))),
                                  4);
            } else {
                chosen << Setting{word.section(' ', 0, 0).toInt(), word.at(word.size() - 1)
                                                                       .toLatin1()};
            }
        }
        if (settings.contains("noise") || settings.contains("BadCrc"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("CRC")));
        m_scanner.setSettings(chosen);
        m_scanner.setNodes(nodes);
        QSignalSpy found(&m_scanner, &BusScanner::deviceFound);
        QSignalSpy finished(&m_scanner, &BusScanner::settingFinished);
        QSignalSpy progress(&m_scanner, &BusScanner::progress);
        QCOMPARE(m_scanner.run(), BusScanner::Result::Finished);

        QTEST(described(m_scanner.devices()), "found");
        QCOMPARE(found.size(), m_scanner.devices().size());
        QList<int> noise;
        for (const QList<QVariant> &setting : std::as_const(finished))
            noise << setting.at(1).toInt();
        QTEST(noise, "noise");
        QCOMPARE(progress.constLast().at(0).toInt(), int(progress.size()));
        QTEST(heard(), "heard");
        for (const BusScanner::Device &device : m_scanner.devices())
            QVERIFY(device.replyMs < 500);
    }

    // Cancel ends the scan within the probe that waits, whatever the node range left.
    void cancelDuringProbe()
    {
        m_scanner.setNodes(range(1, 247));
        m_scanner.setAllowanceMs(BusScanner::MaxAllowanceMs);
        m_device.setFault(Fault::NoReply);
        connect(&m_device, &DeviceSimulator::requestReceived, &m_scanner,
                [this] { QTimer::singleShot(50, &m_scanner, &BusScanner::cancel); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(m_scanner.run(), BusScanner::Result::Cancelled);
        QVERIFY2(clock.elapsed() < 900, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(heard(), 1);
        disconnect(&m_device, nullptr, &m_scanner, nullptr);
        m_scanner.setAllowanceMs(BusScanner::DefaultAllowanceMs);
    }

    // A port another client holds is not taken over.
    void portInUse()
    {
        ModbusClient client;
        QVERIFY(client.connect(m_bus.clientPath(), 9600, 'N', 8, 1, 5));
        m_scanner.setNodes({5});
        QCOMPARE(m_scanner.run(), BusScanner::Result::PortFailed);
        QVERIFY2(m_scanner.errorString().contains(m_bus.clientPath()),
                 qPrintable(m_scanner.errorString()));
        QCOMPARE(heard(), 0);
    }

    // Tools > Scan Bus... through to a connection from a row of the results.
    void dialogConnects()
    {
        PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
        MainWindow window;
        window.show();
        window.findChild<QComboBox *>("portCombo")->setEditText(m_bus.clientPath());
        window.findChild<QSpinBox *>("nodeSpin")->setValue(9);
        QStringList rows;
        QTimer::singleShot(0, this, [&rows] {
            auto *dialog = qobject_cast<BusScanDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            const auto closeAnyway = qScopeGuard([dialog] { dialog->close(); });
            dialog->findChild<QSpinBox *>("lastNodeSpin")->setValue(6);
            dialog->findChild<QPushButton *>("startScanButton")->click(); // returns when done
            auto *table = dialog->findChild<QTableWidget *>("resultsTable");
            for (int row = 0; row < table->rowCount(); ++row)
                rows << table->item(row, 0)->text() + ' ' + table->item(row, 4)->text();
            QVERIFY(dialog->csv().startsWith("node,baud,parity,signature,device,version,reply_ms\n"
                                             "1,9600,N,4,outputModuleDO8,1.1,"));
            table->selectRow(1);
            emit table->cellDoubleClicked(1, 0);
        });
        window.findChild<QAction *>("scanBusAction")->trigger();
        QCOMPARE(rows, (QStringList{"1 outputModuleDO8", "5 indicator4"}));
        QCOMPARE(window.findChild<QSpinBox *>("nodeSpin")->value(), 5);
        QCOMPARE(window.findChild<QLabel *>("deviceLabel")->text(), "indicator4");
        QVERIFY(window.findChild<ModbusClient *>()->isConnected());
    }

    void order_data()
    {
        QTest::addColumn<QString>("chosen"); // "baud parity" pairs
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("ordered");
        QTest::newRow("current first, then the common ones")
            << "2400 N,115200 N,9600 E,9600 N,19200 N" << "9600 E"
            << "9600 E,9600 N,19200 N,115200 N,2400 N";
        QTest::newRow("current not chosen") << "4800 O,9600 N" << "19200 N" << "9600 N,4800 O";
    }
    void order()
    {
        const auto parse = [](const QString &text) {
            QList<Setting> settings;
            for (const QString &s : text.split(','))
                settings << Setting{s.section(' ', 0, 0).toInt(), s.at(s.size() - 1).toLatin1()};
            return settings;
        };
        QFETCH(QString, chosen);
        QFETCH(QString, current);
        QStringList ordered;
        for (const Setting &s : BusScanner::order(parse(chosen), parse(current).at(0)))
            ordered << QStringLiteral("%1 %2").arg(s.baudRate).arg(QChar::fromLatin1(s.parity));
        QTEST(ordered.join(','), "ordered");
    }
};

QTEST_MAIN(tst_BusScanner)
#include "tst_busscanner.moc"
