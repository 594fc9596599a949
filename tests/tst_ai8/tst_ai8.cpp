#include "AnalogModuleModel.h"
#include "EditorTestCase.h"
#include "MainWindow.h"
#include "ModbusClient.h"

#include <QtTest>
#include <QtWidgets>

using Words = QList<quint16>;
using L = QStringList;

// The analog module's editor against the simulated module, with the bench's client or
// inside the configurator's main window.
class tst_Ai8 : public EditorTestCase
{
    Q_OBJECT

public:
    // A module with its factory settings whose readings hold still.
    tst_Ai8()
        : EditorTestCase(
            "devplugin_ai8", [] { return std::make_unique<AnalogModuleModel>(); },
            [](DeviceModel *model) { static_cast<AnalogModuleModel *>(model)->setLive(false); })
    {
    }

private:
    QLabel *label(const QString &name, QWidget *in = nullptr) const
    { return child<QLabel>(name, in); }
    // "on|unit|multiplier|value" of CH n: spin boxes enabled or not, then what they show.
    QString channel(const QString &n) const
    {
        const bool on = enabled("rampSpin" + n + " multiplierSpin" + n) == "11";
        return (on ? "on|" : "off|")
               + shown("unitLabel" + n + " multiplierSpin" + n + " valueLabel" + n);
    }

private slots:
    void changeWritesAtOnce_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QList<int>>("steps"); // box positions or spin values, in turn
        QTest::addColumn<L>("requests");       // of the last step
        QTest::addColumn<QString>("channel");  // of the control's channel after it
        // A new type brings its own multiplier, written with it and not on its own.
        QTest::newRow("0-20 mA on CH 3")
            << "typeCombo3" << QList{2} << L{"6@2=2", "6@18=100"} << "on|mA|100|---";
        QTest::newRow("then Pt100")
            << "typeCombo3" << QList{2, 1} << L{"6@2=1", "6@18=10"} << "on|°C|10|---";
        QTest::newRow("100P on CH 8")
            << "typeCombo8" << QList{3} << L{"6@7=3", "6@23=10"} << "on|°C|10|---";
        QTest::newRow("then disabled")
            << "typeCombo3" << QList{2, 0} << L{"6@2=0"} << "off||100|---";
        QTest::newRow("ramp CH 2") << "rampSpin2" << QList{250} << L{"6@9=250"} << "on||10|---";
        QTest::newRow("multiplier 0") << "multiplierSpin8" << QList{0} << L{"6@23=0"}
                                      << "on||0|---";
        // The device takes the rate itself, never its position.
        QTest::newRow("rate 475") << "spsCombo" << QList{6} << L{"6@24=475"} << "";
        QTest::newRow("rate 8") << "spsCombo" << QList{7, 0} << L{"6@24=8"} << "";
    }
    void changeWritesAtOnce()
    {
        QFETCH(QString, control);
        QFETCH(QList<int>, steps);
        for (int value : std::as_const(steps)) {
            m_bench.clearRequests();
            if (auto *box = m_editor->findChild<QComboBox *>(control))
                box->setCurrentIndex(value);
            else
                child<QSpinBox>(control)->setValue(value);
        }
        QTEST(m_bench.requests(), "requests");
        if (!control.startsWith("sps"))
            QTEST(channel(control.right(1)), "channel");
    }

    void readShowsDevice_data()
    {
        QTest::addColumn<Words>("registers"); // CH 2's type, ramp, multiplier, value; the rate
        QTest::addColumn<QString>("shown");   // CH 2's box, ramp, channel(), colour; the rate
        QTest::newRow("fresh editor") << Words{} << "Disabled|500|on||10|---|blue|8";
        QTest::newRow("0-20 mA keeps the multiplier read")
            << Words{2, 300, 37, 235, 475} << "0-20 mA (4-20 mA)|300|on|mA|37|6.35|blue|475";
        QTest::newRow("-52 / 100") << Words{2, 0, 100, quint16(-52), 860}
                                   << "0-20 mA (4-20 mA)|0|on|mA|100|-0.52|blue|860";
        QTest::newRow("42 / 0")
            << Words{3, 5, 0, 42, 8} << "100P 0.00391|5|on|°C|0|42.00|blue|8";
        QTest::newRow("sensor fault") << Words{1, 500, 10, 0xD8F0, 32}
                                      << "Pt100 0.00385|500|on||10|Error|red|32";
        QTest::newRow("disabled")
            << Words{0, 10000, 100, 235, 8} << "Disabled|10000|off||100|---|blue|8";
        QTest::newRow("sensor fault, disabled")
            << Words{0, 500, 10, 0xD8F0, 8} << "Disabled|500|off||10|Error|red|8";
        // Values the boxes do not offer leave them as they were; the type goes back as read.
        QTest::newRow("type 7")
            << Words{7, 20000, 500, 235, 6} << "Disabled|10000|on||100|---|blue|8";
    }
    void readShowsDevice()
    {
        QFETCH(Words, registers);
        const bool read = !registers.isEmpty();
        if (read) {
            for (int i = 0; i < 3; ++i) // type, ramp and multiplier registers of CH 2
                device()->setHoldingRegister(1 + 8 * i, registers[i]);
            device()->setInputRegister(9, registers[3]);
            setRegisters(24, {registers[4], 5, 4, 1}); // rate, address, baud index, parity
            QCOMPARE(sentByRead(), (L{"3@0x29", "4@0x16"})); // and no write
        }
        const bool red = label("valueLabel2")->styleSheet().contains("#cc0000");
        QTEST(shown("typeCombo2 rampSpin2") + '|' + channel("2") + (red ? "|red|" : "|blue|")
                  + shown("spsCombo"), "shown");
        QCOMPARE(shown("deviceAddressSpin deviceBaudCombo"), read ? "5|38400" : "1|9600");
        const L block = sentByWrite().value(0).mid(5).split(',');
        QCOMPARE(block.value(1), QString::number(registers.value(0))); // the type as read
        if (!read) // the factory block
            QCOMPARE(block, (L(8, "0") + L(8, "500") + L(8, "10") + L{"8", "1", "2", "0"}));
    }

    // As a user: connect, Read All, watch the values move; the device falls silent and the
    // refresh backs off between misses, keeping what it showed, then takes up again (a live
    // view never nests its waits: the LED indicator test); change the rate, save, Disconnect
    // while a refresh waits in vain, restart.
    void endToEnd()
    {
        static_cast<AnalogModuleModel *>(m_bench.model())->setLive(true);
        QPointer<QWidget> editor = connectWindow();
        QVERIFY(editor);
        QCOMPARE(sentByClick("readAll"), (L{"3@0x29", "4@0x16"}));
        const auto values = [&] {
            L texts;
            for (int n = 1; n <= 7; ++n) // CH 8 is the module's spare input
                texts << label("valueLabel" + QString::number(n), editor)->text();
            return texts;
        };
        const L first = values();
        QVERIFY2(!first.contains("---"), qPrintable(first.join(' ')));
        child<QCheckBox>("autoRefreshCheck", editor)->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(values() != first, 5000);

        auto *client = m_bench.window()->findChild<ModbusClient *>();
        QElapsedTimer clock;
        qint64 lastFailure = -1, shortestRetry = 1 << 30;
        const quint64 failuresBefore = client->failureCount();
        quint64 failures = failuresBefore;
        L held;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (std::exchange(failures, client->failureCount()) == failures)
                return;
            if (lastFailure >= 0)
                shortestRetry = qMin(shortestRetry, clock.elapsed() - lastFailure);
            else
                held = values();
            lastFailure = clock.elapsed();
        });
        clock.start();
        probe.start(20);
        device()->setFault(Fault::NoReply);
        QTRY_VERIFY_WITH_TIMEOUT(failures >= failuresBefore + 3, 10000);
        QVERIFY2(shortestRetry >= 1100, qPrintable(QString::number(shortestRetry)));
        QCOMPARE(values(), held);
        device()->clearFault();
        QTRY_VERIFY_WITH_TIMEOUT(values() != held, 5000);
        child<QCheckBox>("autoRefreshCheck", editor)->setChecked(false);

        child<QComboBox>("spsCombo", editor)->setCurrentIndex(6);
        QCOMPARE(sentByClick("saveToFlash"),
                 (L{"16@0=1,1,1,3,2,2,1,0," + L(8, "500").join(',')
                        + ",10,10,10,10,100,100,10,10,475,1,2,0",
                    "6@28=768"}));

        child<QCheckBox>("autoRefreshCheck", editor)->setChecked(true);
        onRequest("NoReply 0 -1", [this] { m_bench.click("connect"); });
        QTRY_VERIFY(!client->isConnected());
        QTRY_VERIFY(!editor); // destroyed, with its timer, once its request is done
        // What the module saved is what it has after a restart.
        m_bench.closeWindow();
        QVERIFY(restart());
        QCOMPARE(device()->holdingRegister(24), quint16(475));
        QCOMPARE(saved("ai8/type5"), 2);
    }
};

QTEST_MAIN(tst_Ai8)
#include "tst_ai8.moc"
