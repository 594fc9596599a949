#include "BusScanner.h"
#include "DeviceSimulator.h"
#include "ModbusClient.h"
#include "VirtualSerialPair.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

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

class tst_BusScanner : public QObject
{
    Q_OBJECT

    VirtualSerialPair m_pair;
    DeviceSimulator m_device;
    BusScanner m_scanner;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
        m_device.setIdentity(4, 1, 3);
        QVERIFY2(m_device.start(m_pair.devicePath(), 5), qPrintable(m_device.errorString()));
        m_scanner.setPort(m_pair.clientPath());
        m_scanner.setSettings({{9600, 'N'}});
    }
    void init()
    {
        m_device.clearFault();
        m_device.setAddressFilter({});
        m_device.clearRequests();
    }

    void scan_data()
    {
        QTest::addColumn<QList<int>>("nodes");
        QTest::addColumn<int>("fault"); // a DeviceSimulator::Fault for every request, or -1
        QTest::addColumn<bool>("refuseAll"); // every address answered with exception 02
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<int>("noise");
        QTest::addColumn<int>("requests"); // that reached the device
        QTest::newRow("one device among eight") << range(1, 8) << -1 << false
                                                << QStringList{"5 9600 N 4 1.3"} << 0 << 2;
        QTest::newRow("silent range") << range(10, 14) << -1 << false << QStringList() << 0 << 0;
        QTest::newRow("exception only") << QList<int>{4, 5} << -1 << true
                                        << QStringList{"5 9600 N refused"} << 0 << 1;
        QTest::newRow("bad checksum is noise") << QList<int>{5} << int(Fault::BadCrc) << false
                                               << QStringList() << 1 << 1;
        QTest::newRow("short reply is noise") << QList<int>{5} << int(Fault::LongReply) << false
                                              << QStringList() << 1 << 1;
        QTest::newRow("unreadable version") << QList<int>{5} << int(Fault::Exception) << false
                                            << QStringList{"5 9600 N refused"} << 0 << 1;
    }
    void scan()
    {
        QFETCH(QList<int>, nodes);
        QFETCH(int, fault);
        QFETCH(bool, refuseAll);
        if (fault >= 0)
            m_device.setFault(Fault(fault), 4);
        if (refuseAll)
            m_device.setAddressFilter([](auto, int, int) { return false; });
        QSignalSpy found(&m_scanner, &BusScanner::deviceFound);
        QSignalSpy settings(&m_scanner, &BusScanner::settingFinished);
        QSignalSpy progress(&m_scanner, &BusScanner::progress);
        m_scanner.setNodes(nodes);
        QCOMPARE(m_scanner.run(), BusScanner::Result::Finished);
        QTEST(described(m_scanner.devices()), "found");
        QCOMPARE(found.size(), m_scanner.devices().size());
        QCOMPARE(settings.size(), 1);
        QTEST(settings.at(0).at(1).toInt(), "noise");
        QCOMPARE(progress.size(), nodes.size());
        QCOMPARE(progress.constLast().at(0).toInt(), int(nodes.size()));
        QTEST(int(m_device.requests().size()), "requests");
        if (!m_scanner.devices().isEmpty())
            QVERIFY(m_scanner.devices().at(0).replyMs < 1000);
    }

    // Cancel ends the scan within the probe that waits, whatever the node range left.
    void cancelDuringProbe()
    {
        m_scanner.setNodes(range(5, 247));
        m_scanner.setAllowanceMs(BusScanner::MaxAllowanceMs);
        m_device.setFault(Fault::NoReply);
        connect(&m_device, &DeviceSimulator::requestReceived, &m_scanner,
                [this] { QTimer::singleShot(50, &m_scanner, &BusScanner::cancel); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(m_scanner.run(), BusScanner::Result::Cancelled);
        QVERIFY2(clock.elapsed() < 900, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(m_device.requests().size(), 1);
        disconnect(&m_device, nullptr, &m_scanner, nullptr);
        m_scanner.setAllowanceMs(BusScanner::DefaultAllowanceMs);
    }

    // A port another client holds is not taken over.
    void portInUse()
    {
        ModbusClient client;
        QVERIFY(client.connect(m_pair.clientPath(), 9600, 'N', 8, 1, 5));
        m_scanner.setNodes({5});
        QCOMPARE(m_scanner.run(), BusScanner::Result::PortFailed);
        QVERIFY2(m_scanner.errorString().contains(m_pair.clientPath()),
                 qPrintable(m_scanner.errorString()));
        QCOMPARE(m_device.requests().size(), 0);
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

    void parseNodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("nodes"); // empty: refused
        QTest::newRow("ranges and singles") << "2-4, 9,3" << QList<int>{2, 3, 4, 9};
        QTest::newRow("all") << "1-247" << range(1, 247);
        for (const char *bad : {"0-3", "5-248", "4-2", "1-2-3", "a", "", "3,"})
            QTest::newRow(bad) << QString::fromLatin1(bad) << QList<int>();
    }
    void parseNodes()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, nodes);
        QList<int> parsed{-1};
        QCOMPARE(BusScanner::parseNodes(text, parsed), !nodes.isEmpty());
        QCOMPARE(parsed, nodes.isEmpty() ? QList<int>{-1} : nodes);
    }
};

QTEST_GUILESS_MAIN(tst_BusScanner)
#include "tst_busscanner.moc"
