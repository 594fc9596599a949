#include "EditorTestCase.h"
#include "MainWindow.h"
#include "ModbusClient.h"
#include "VoltmeterModel.h"

#include <QtTest>
#include <QtWidgets>

#include <time.h>

using Words = QList<quint16>;

// The voltmeter editor, made from the plug-in file, against a simulated voltmeter.
class tst_Volt : public EditorTestCase
{
    Q_OBJECT

public:
    // A voltmeter with factory settings whose readings stand still unless a test moves them.
    tst_Volt()
        : EditorTestCase("devplugin_volt", [] { return std::make_unique<VoltmeterModel>(); },
                         [](DeviceModel *model) {
                             static_cast<VoltmeterModel *>(model)->setLiveValues(false);
                         })
    {
        // A zone off UTC, so that the build time shows in local time and not in UTC.
        qputenv("TZ", "IST-5:30");
        tzset();
    }

private:
    // Type, ramp and multiplier of inputs 1 to 8, then the sample rate and device settings.
    QString enabledMap() const
    {
        return enabled(numbered("typeCombo", 8) + ' ' + numbered("rampSpin", 8) + ' '
                       + numbered("multiplierSpin", 8)
                       + " spsCombo deviceAddressSpin deviceBaudCombo deviceParityCombo");
    }

private slots:
    void readAndWrite_data()
    {
        QTest::addColumn<Words>("registers"); // holding 0 to 20, then input 3 and 4
        QTest::addColumn<int>("fault");       // on the holding read
        QTest::addColumn<QString>("shown"); // type 1, baud rate, parity, build time
        QTest::addColumn<QString>("written");
        // 0x6553F100 is 1700000000, 2023-11-14 22:13:20 UTC.
        const Words in{1, 2, 4, 3, 100, 101, 102, 103, 104, 105, 106, 107,
                       10, 1000, 1, 65535, 860, 5, 3, 1, 768, 0x6553, 0xF100};
        const QString local = "2023-11-15 03:43:20";
        const int none = int(Fault::None);
        // A never-read editor: register 20 takes only the save command.
        const QString factory =
            "16@0=0,0,0,0,500,500,500,500,500,500,500,500,10,10,10,10,8,1,2,0";
        QTest::newRow("fresh editor") << Words{} << none << "Disabled|9600|None|---" << factory;
        QTest::newRow("in range") << in << none << "Pt100 0.00385|19200|Even|" + local
            << "16@0=1,2,4,3,100,101,102,103,104,105,106,107,10,1000,1,65535,860,5,3,1";
        // Type and rate boxes without the value keep theirs, spin boxes clamp; the serial
        // settings show no entry and go back as the device had them.
        QTest::newRow("off the lists")
            << Words{9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 248, 9, 7, 0, 0, 0}
            << none << "Disabled|||---"
            << "16@0=0,0,0,0,0,0,0,0,0,0,0,0,1,1,1,1,8,247,9,7";
        // The client takes a reply of 20 registers for a failed read.
        for (auto [row, fault] : {std::pair{"short reply", Fault::ShortReply},
                                  {"exception", Fault::Exception}})
            QTest::newRow(row) << in << int(fault) << "Disabled|9600|None|" + local
                << factory;
    }
    void readAndWrite()
    {
        QFETCH(Words, registers);
        QFETCH(int, fault);
        const bool read = !registers.isEmpty();
        if (read) {
            setRegisters(0, registers.mid(0, 21));
            device()->setInputRegister(3, registers.at(21));
            device()->setInputRegister(4, registers.at(22));
            device()->setFault(Fault(fault), 2, 1);
            // Build time and one reading come even after a failed holding read.
            QCOMPARE(sentByRead(), (QStringList{"3@0x21", "4@0x16", "4@8x8"}));
        }
        QTEST(shown("typeCombo1 deviceBaudCombo deviceParityCombo buildTimeLabel"), "shown");
        QCOMPARE(enabledMap(), read ? "11110000" "11111111" "11110000" "1111" : QString(28, '0'));
        QTEST(sentByWrite().join(' '), "written");
    }

    void readings_data()
    {
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("multiplier");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("shown"); // raw, value
        QTest::newRow("Pt100") << 1 << 1 << 10 << 0xFF38 << "-200|-20.0 C";
        QTest::newRow("0-20 mA") << 1 << 2 << 1000 << 12000 << "12000|12.000 mA";
        QTest::newRow("disabled") << 1 << 0 << 10 << 12000 << "12000|---";
        QTest::newRow("sensor error") << 2 << 1 << 10 << 0xD8F0 << "Error|Error";
        QTest::newRow("0xD8F0 on input 6, a voltage") << 6 << 0 << 0 << 0xD8F0 << "55536|55.536 V";
        // The multiplier box cannot show 0: the reading is divided by 1.
        QTest::newRow("multiplier 0") << 3 << 4 << 0 << 0xFFF6 << "-10|-10.0 C";
    }
    void readings()
    {
        QFETCH(int, input);
        QFETCH(int, raw);
        if (input <= 4) {
            QFETCH(int, type);
            QFETCH(int, multiplier);
            device()->setHoldingRegister(input - 1, quint16(type));
            device()->setHoldingRegister(11 + input, quint16(multiplier));
        }
        device()->setInputRegister(7 + input, quint16(raw));
        m_plugin->readFromDevice();
        QTEST(shown(QStringLiteral("rawLabel%1 valueLabel%1").arg(input)), "shown");
    }

    // The monitor reads at once and locks the settings while it runs; stopped, it keeps the
    // last values; the page can go away while the monitor's reading waits. (How a live view
    // waits out a silent device: the analog module and LED indicator tests.)
    void monitor()
    {
        m_plugin->readFromDevice();
        m_bench.clearRequests();
        auto *button = child<QPushButton>("monitorButton");
        button->click();
        QCOMPARE(m_bench.requests(), QStringList("4@8x8")); // at once, not at the first tick
        QCOMPARE(enabledMap(), QString(28, '0'));
        device()->setInputRegister(12, 7000);
        QTRY_COMPARE(shown("valueLabel5"), "7.000 V");

        button->click();
        QCOMPARE(enabledMap(), "11110000" "11111111" "11110000" "1111");
        QCOMPARE(shown("valueLabel5"), "7.000 V");

        // The page goes away while its own reading waits.
        button->click();
        onRequest("NoReply 0 -1", [this] { m_editor.reset(); });
        QTRY_VERIFY(!m_editor);
        QTRY_COMPARE(client()->pendingWaits(), 0);
    }

    // Once as a user: connect, Read All, live values, Save to Flash, and Disconnect
    // while the monitor waits for a device that has fallen silent.
    void endToEnd()
    {
        QVERIFY(restart()); // with readings that move
        QWidget *page = connectWindow();
        QVERIFY(page);
        MainWindow *window = m_bench.window();
        QCOMPARE(shown("typeCombo2", page), "0-20mA (4-20mA)");
        device()->setHoldingRegister(6, 777);
        QVERIFY(m_bench.click("readAll"));
        QCOMPARE(shown("rampSpin3", page), "777");

        child<QPushButton>("monitorButton", page)->click();
        const QString first = shown("valueLabel1", page);
        QTRY_VERIFY(shown("valueLabel1", page) != first);

        QStringList requests = sentByClick("saveToFlash");
        requests.removeAll("4@8x8"); // the monitor goes on meanwhile
        QCOMPARE(requests,
                 (QStringList{"16@0=1,2,3,4,500,500,777,500,500,500,500,500,10,1000,10,10,8,1,2,0",
                              "6@20=768"}));
        QCOMPARE(saved("volt/ramp3"), 777);

        // The user disconnects while a reading waits for the silent device.
        onRequest("NoReply 0 -1", [this] { m_bench.click("connect"); });
        QTRY_VERIFY(!window->findChild<ModbusClient *>()->isConnected());
        QTRY_COMPARE(window->findChildren<QLabel *>("valueLabel1").size(), 0);
    }
};

QTEST_MAIN(tst_Volt)
#include "tst_volt.moc"
