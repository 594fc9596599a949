#include "EditorTestCase.h"
#include "LedIndicatorModel.h"
#include "LivePoller.h"
#include "ModbusClient.h"

#include <QtTest>
#include <QtWidgets>

using Words = QList<quint16>;
using Regs = QMap<int, int>; // register -> value

namespace {
Words with(Words r, const Regs &changes)
{
    for (auto it = changes.begin(); it != changes.end(); ++it)
        r[it.key()] = quint16(it.value());
    return r;
}
// A device block with a distinct, in-range value in every register the editor shows.
const Words deviceBlock = {475, 17, 4, 1, 99, 2, 1, 3, 4, 9, 10, 100, 200, 65535, 0, 5,
                           quint16(-100), 2000, 0, 0, 1, 20, 0x8000, 32767, 12, 300, quint16(-300),
                           1, 2500, 1, 0x2041, 0x61, 0x20, 0x2E, 1, 0, 1, 2, 4, 0x41, 0x42};
// What a write gives back of `block`: the first 39 registers, 4, 9 and 10 as 0.
Words echoed(const Words &block, Regs changes)
{
    changes.insert({{4, 0}, {9, 0}, {10, 0}});
    return with(block.mid(0, 39), changes);
}
const Words freshWrite = {8, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 1000, 4, 0,
                          1000, 4, 0, 1000, 4, 0, 1000, 0, 1000, 0, 48, 48, 48, 48, 0, 1, 1, 1, 1};
} // namespace

class tst_Ind4 : public EditorTestCase
{
    Q_OBJECT

public:
    // An indicator whose readings hold still.
    tst_Ind4()
        : EditorTestCase("devplugin_ind4", [] { return std::make_unique<LedIndicatorModel>(); },
                         [](DeviceModel *model) {
                             static_cast<LedIndicatorModel *>(model)->setLiveValues(false);
                         })
    {
    }

private:
    QStringList labels() const { return shown(numbered("value", 4)).split('|'); }

private slots:
    // What a read shows ("type|symbol|scale fields enabled", which only the current loop
    // has, per input; then samples, baud rate, parity) and what the next write gives back.
    void readThenWrite_data()
    {
        QTest::addColumn<int>("read"); // -1 none, 0 refused, 1 answered
        QTest::addColumn<Words>("block");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<Words>("written");
        const QStringList fresh = {"Disabled|0|0", "Disabled|0|0", "Disabled|0|0",
                                   "Disabled|0|0", "8|9600|None"};
        QTest::newRow("fresh editor") << -1 << Words() << fresh << freshWrite;
        QTest::newRow("read refused") << 0 << deviceBlock << fresh << freshWrite;
        QTest::newRow("in range")
            << 1 << deviceBlock
            << QStringList{"0-20mA (4-20mA)|A|1", "Pt100 0.00385|a|0", "100P 0.00391| |0",
                           "Pt1000 0.00385|.|0", "475|38400|Even"}
            << echoed(deviceBlock, {{30, 'A'}});
        // Boxes that cannot show a value keep theirs (set to "64" and "5" before the read);
        // spin boxes clamp; type and baud codes the boxes lack go back as the device had them.
        const Words out =
            with(deviceBlock, {{0, 100}, {1, 0}, {2, 9}, {3, 7}, {5, 7}, {6, 0xFFFF}, {7, 5},
                               {8, 2}, {15, 30}, {28, 40000}, {30, 0x58}, {31, '-'},
                               {32, 0x142}, {33, 'O'}, {35, 9}});
        QTest::newRow("out of range")
            << 1 << out
            << QStringList{"|5|0", "|5|0", "|5|0", "0-20mA (4-20mA)|O|1", "64||"}
            << echoed(out, {{0, 64}, {1, 1}, {15, 20}, {28, 32767}, {30, '5'}, {31, '5'},
                            {32, '5'}, {35, 4}});
    }
    void readThenWrite()
    {
        QFETCH(int, read);
        QFETCH(Words, block);
        if (read == 1) {
            child<QComboBox>("samplesCombo")->setCurrentText("64");
            for (int n = 1; n <= 4; ++n)
                child<QComboBox>(QStringLiteral("symbol%1").arg(n))->setCurrentIndex(5);
        }
        setRegisters(0, block);
        if (read == 0)
            device()->setFault(Fault::Exception, 4, 1);
        if (read >= 0)
            QCOMPARE(sentByRead(), QStringList{"3@0x48"}); // showing writes nothing
        QStringList seen;
        for (const QString i : {"1", "2", "3", "4"})
            seen << shown("type" + i + " symbol" + i) + '|' + enabled("scaleEnd" + i);
        QTEST(seen << shown("samplesCombo deviceBaudCombo deviceParityCombo"), "shown");
        sentByWrite();
        QCOMPARE(device()->requests().constLast().address, quint16(0));
        QTEST(device()->requests().constLast().values, "written");
    }

    // One tick: types, values, then the display string.
    void monitorTick_data()
    {
        QTest::addColumn<Words>("types");
        QTest::addColumn<Words>("values");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("failing"); // the request the device refuses
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("requests");
        const QStringList reads = {"3@5x4", "4@8x4"};
        QTest::newRow("each type")
            << Words{1, 2, 4, 0} << Words{215, 1250, quint16(-53), 77} << "12.5" << ""
            << QStringList{"21.5", "12.50", "-5.3", "Off"}
            << reads + QStringList{"16@39=49,50,46,53,0,0,0,0,0"};
        QTest::newRow("extremes")
            << Words{1, 7, 3, 0xFFFF} << Words{0x8000, 5, LedIndicatorModel::SensorFault, 0}
            << "" << "" << QStringList{"-3276.8", "Error", "Error red", "Error"}
            << reads + QStringList{"16@39=0,0,0,0,0,0,0,0,0"};
        QTest::newRow("nine symbols")
            << Words{2, 2, 2, 2} << Words{0, 2000, 400, quint16(-1)} << "HELLO 1.5" << ""
            << QStringList{"0.00", "20.00", "4.00", "-0.01"}
            << reads + QStringList{"16@39=72,69,76,76,79,32,49,46,53"};
        const QStringList dashes(4, "---");
        QTest::newRow("types refused")
            << Words{1, 1, 1, 1} << Words{1, 2, 3, 4} << "1" << "3@5 Exception" << dashes
            << reads.mid(0, 1);
        QTest::newRow("values refused")
            << Words{1, 1, 1, 1} << Words{1, 2, 3, 4} << "1" << "4@8 Exception" << dashes << reads;
    }
    void monitorTick()
    {
        QFETCH(Words, types);
        QFETCH(Words, values);
        QFETCH(QString, failing);
        setRegisters(5, types);
        for (int i = 0; i < 4; ++i)
            device()->setInputRegister(8 + i, values.at(i));
        QFETCH(QString, text);
        child<QLineEdit>("stringEdit")->setText(text);
        onRequest(failing);
        QVERIFY(QMetaObject::invokeMethod(m_editor.get(), "onMonitorTimer"));
        QStringList shown = labels();
        for (int i = 0; i < 4; ++i) { // in red or not, one width for any text
            const auto *box = child<QLabel>(QString("value%1").arg(i + 1));
            QVERIFY(box->sizeHint().width() <= box->minimumWidth());
            shown[i] += box->styleSheet().contains("#cc0000") ? " red" : "";
        }
        QTEST(shown, "labels");
        QTEST(m_bench.requests(), "requests");
    }

    // Stopped while a tick's read waits: the tick is given up, the labels show "---", no
    // string goes out and nothing more is asked.
    void monitorStop_data()
    {
        QTest::addColumn<QString>("stoppedIn");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("types read") << "3@5" << QStringList{"3@5x4"};
        QTest::newRow("values read") << "4@8" << QStringList{"3@5x4", "4@8x4"};
    }
    void monitorStop()
    {
        QFETCH(QString, stoppedIn);
        QFETCH(QStringList, requests);
        auto *button = child<QPushButton>("monitorButton");
        button->click();
        QTRY_VERIFY(labels().constFirst() != "---" && m_bench.client()->pendingWaits() == 0);
        device()->clearRequests();
        onRequest(stoppedIn + " Delay 200", [button] { button->click(); });
        QTRY_COMPARE(m_bench.requests().size(), requests.size());
        QTRY_COMPARE(m_bench.client()->pendingWaits(), 0);
        QCOMPARE(labels(), QStringList(4, "---"));
        QSignalSpy received(device(), &DeviceSimulator::requestReceived);
        QVERIFY(!received.wait(400));
        QCOMPARE(m_bench.requests(), requests);
    }

    // A device that stops answering under a running monitor: the event loop goes on, never
    // more than one request waits, the monitor takes up again when the device answers,
    // and the editor can go away in the middle of a tick.
    void silentDevice_data()
    {
        QTest::addColumn<int>("interval");
        QTest::newRow("100 ms") << 100;
        QTest::newRow("500 ms") << 500;
    }
    void silentDevice()
    {
        QFETCH(int, interval);
        m_editor->findChild<LivePoller *>()->setInterval(interval);
        child<QPushButton>("monitorButton")->click();
        QTRY_COMPARE(labels().at(2), QStringLiteral("Off"));
        QTRY_COMPARE(m_bench.client()->pendingWaits(), 0);
        device()->setFault(Fault::NoReply);
        device()->clearRequests();
        int beats = 0, mostWaits = 0;
        QTimer beat;
        connect(&beat, &QTimer::timeout, this,
                [&] { ++beats, mostWaits = qMax(mostWaits, m_bench.client()->pendingWaits()); });
        beat.start(50);
        QElapsedTimer clock;
        clock.start();
        // A request waits out its time-out (the line sees it twice: the toolkit repeats it
        // once) before the next one goes; each tick ends at its first failed read.
        QTRY_VERIFY_WITH_TIMEOUT(m_bench.requests().size() >= 6, 8000);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 1300, qPrintable(QString::number(elapsed)));
        QCOMPARE(m_bench.requests().mid(0, 6), QStringList(6, "3@5x4"));
        QVERIFY2(beats >= elapsed / 100, qPrintable(QString::number(beats)));
        QCOMPARE(mostWaits, 1);
        // The device answers again: no tick queued behind an abandoned request, so no
        // stale read of the types comes before the next tick's values read.
        device()->setInputRegister(8, 333);
        device()->clearFault();
        device()->clearRequests();
        QTRY_COMPARE_WITH_TIMEOUT(labels().at(0), QStringLiteral("33.3"), 3000);
        const QStringList resumed = m_bench.requests();
        for (int i = 1; i < resumed.size(); ++i)
            QVERIFY2(resumed.at(i) != "3@5x4" || resumed.at(i - 1) != "3@5x4",
                     qPrintable(resumed.join(' ')));
        // Read All while the device is silent: no tick joins its wait.
        device()->setFault(Fault::NoReply);
        QTRY_COMPARE(m_bench.client()->pendingWaits(), 0);
        mostWaits = 0;
        m_plugin->readFromDevice();
        QCOMPARE(mostWaits, 1);
        device()->clearFault();
        device()->setInputRegister(8, 444);
        QTRY_COMPARE_WITH_TIMEOUT(labels().at(0), QStringLiteral("44.4"), 3000);

        QPointer<QWidget> editor(m_editor.get());
        device()->setFault(Fault::NoReply);
        onRequest("3@5 NoReply 0 -1", [this] { m_editor.reset(); });
        QTRY_VERIFY(editor.isNull());
        QTRY_COMPARE(m_bench.client()->pendingWaits(), 0);
        device()->clearRequests();
        QSignalSpy requests(device(), &DeviceSimulator::requestReceived);
        QVERIFY(!requests.wait(2 * interval + 100));
    }

    // The whole road through the main window: connect, Read All, Save to Flash. (The page
    // that goes while the monitor waits: silentDevice().)
    void mainWindow()
    {
        QVERIFY(restart()); // with readings that move
        QPointer<QWidget> editor = connectWindow();
        QVERIFY(editor);
        QCOMPARE(m_bench.requests(), (QStringList{"4@0x1", "4@1x2", "3@0x48"}));

        device()->setHoldingRegister(0, 860);
        QCOMPARE(sentByClick("readAll"), QStringList{"3@0x48"});

        child<QSpinBox>("ramp3", editor)->setValue(250); // 860 in the write: Read All showed it
        const QString write = "16@0=860,1,2,0,0,1,2,0,4,0,0,0,0,250,0,4,0,1000,4,0,1000,4,0,1000,"
                              "4,0,1000,0,1000,0,67,65,32,67,0,1,1,1,1";
        QCOMPARE(sentByClick("saveToFlash"), (QStringList{write, "6@4=768"}));
        QCOMPARE(saved("ind4/ramp3"), 250);

    }
};

QTEST_MAIN(tst_Ind4)
#include "tst_ind4.moc"
