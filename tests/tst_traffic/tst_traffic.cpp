#include "DeviceSimulator.h"
#include "ExchangeFormatter.h"
#include "FindControl.h"
#include "LedIndicatorModel.h"
#include "LogLines.h"
#include "MainWindow.h"
#include "ModbusClient.h"
#include "PluginManager.h"
#include "TestApplication.h"
#include "TrafficLog.h"
#include "VirtualSerialPair.h"

#include <QBuffer>
#include <QtTest>
#include <QtWidgets>

using Result = ModbusExchange::Result;

// The traffic log behind the window's traffic view, and a port pulled under a running
// monitor: the session ends as a Disconnect would, and comes back on request.
class tst_Traffic : public QObject
{
    Q_OBJECT

    static ModbusExchange record(int node, Result result)
    {
        ModbusExchange e;
        e.sent = QDateTime(QDate(2026, 3, 1), QTime(8, 30, 15, 250));
        e.node = node;
        e.functionCode = 3;
        e.start = 100;
        e.count = 2;
        e.read = result == Result::Ok ? QList<quint16>{17, 129} : QList<quint16>{};
        e.result = result;
        e.exceptionCode = result == Result::Exception ? 2 : 0;
        e.replyMs = 9.84;
        return e;
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
    }

    void boundedBatchesAndCsv()
    {
        TrafficLog log(nullptr, 3);
        QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
        const QList<Result> results{Result::Ok, Result::Timeout, Result::Ok, Result::Exception,
                                    Result::Ok};
        for (int i = 0; i < results.size(); ++i)
            log.add(record(i + 1, results[i]));
        QCOMPARE(log.rowCount(), 0); // shown with the next batch, all at once
        QTRY_COMPARE(log.rowCount(), 3);
        QCOMPARE(inserted.size(), 1);
        log.add(record(6, Result::Timeout));
        log.flush();
        QList<int> nodes;
        for (int row = 0; row < log.rowCount(); ++row)
            nodes << log.exchange(row).node;
        QCOMPARE(nodes, (QList<int>{4, 5, 6})); // the oldest went
        const auto colour = [&log](int row) {
            return log.data(log.index(row, TrafficLog::ResultColumn), Qt::ForegroundRole);
        };
        QVERIFY(colour(0).isValid() && colour(2).isValid() && colour(0) != colour(2));
        QVERIFY(!colour(1).isValid());

        QBuffer csv;
        csv.open(QIODevice::WriteOnly);
        QVERIFY(log.writeCsv(csv));
        QCOMPARE(csv.data().split('\n'),
                 (QList<QByteArray>{
                     "time,node,function,name,start,count,values,result,exception,reply_ms",
                     "2026-03-01T08:30:15.250,4,3,Read Holding Registers,100,2,,exception,2,9.8",
                     "2026-03-01T08:30:15.250,5,3,Read Holding Registers,100,2,17 129,ok,,9.8",
                     "2026-03-01T08:30:15.250,6,3,Read Holding Registers,100,2,,time-out,,9.8",
                     ""}));
        log.setPaused(true);
        log.add(record(7, Result::Ok));
        log.flush();
        QCOMPARE(log.rowCount(), 3);
    }

    void portPulledDuringMonitor()
    {
        QTemporaryDir dir;
        VirtualSerialPair pair;
        DeviceSimulator device;
        LedIndicatorModel model;
        model.attach(&device);
        QVERIFY2(pair.open(dir.path()), qPrintable(pair.errorString()));
        QVERIFY2(device.start(pair.devicePath()), qPrintable(device.errorString()));
        MainWindow window;
        window.show();
        findControl<QComboBox>(&window, "portCombo")->setEditText(pair.clientPath());
        auto *client = window.findChild<ModbusClient *>();
        auto *pages = findControl<QStackedWidget>(&window, "pageStack");
        QTest::mouseClick(findControl<QPushButton>(&window, "connectButton"), Qt::LeftButton);
        QCOMPARE(pages->count(), 2);
        findControl<QPushButton>(pages->currentWidget(), "monitorButton")->click();
        QSignalSpy exchanges(client, &ModbusClient::exchangeFinished);
        QTRY_VERIFY(exchanges.size() >= 3);

        QSignalSpy lost(client, &ModbusClient::portLost);
        QElapsedTimer clock;
        clock.start();
        pair.close();
        const QString logged = "Connection lost: " + pair.clientPath() + " (";
        QTRY_VERIFY_WITH_TIMEOUT(logLines(&window).constLast().contains(logged), 1500);
        qInfo("after %lld ms: %s", clock.elapsed(), qPrintable(logLines(&window).constLast()));
        QVERIFY(clock.elapsed() < 1200);
        QCOMPARE(lost.size(), 1);
        QTRY_COMPARE(client->pendingWaits(), 0);
        QTRY_COMPARE(pages->count(), 1); // the editor retired, its monitor with it
        QCOMPARE(findControl<QLabel>(&window, "statusLabel")->text(), "Disconnected");
        QVERIFY(findControl<QLabel>(&window, "connectionLostLabel")->text().startsWith(logged));
        // No queue grows: requests fail at once, without a wait.
        exchanges.clear();
        quint16 value = 0;
        QVERIFY(!client->readSignature(value));
        QCOMPARE(client->lastError(), "Not connected");
        QCOMPARE(exchanges.size(), 1);
        QCOMPARE(exchanges.at(0).at(0).value<ModbusExchange>().result, Result::NotConnected);

        // The port comes back: the window offers to connect again, and the editor returns.
        auto *reconnect = findControl<QPushButton>(&window, "reconnectButton");
        QVERIFY(!reconnect->isVisible());
        QVERIFY2(pair.open(dir.path()), qPrintable(pair.errorString()));
        QVERIFY2(device.start(pair.devicePath()), qPrintable(device.errorString()));
        QTRY_VERIFY(reconnect->isVisible());
        QTest::mouseClick(reconnect, Qt::LeftButton);
        QCOMPARE(pages->count(), 2);
        QVERIFY(!reconnect->isVisible());
        QVERIFY(client->isConnected());
    }
};

QTEST_MAIN(tst_Traffic)
#include "tst_traffic.moc"
