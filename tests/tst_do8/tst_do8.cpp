#include "EditorTestCase.h"
#include "ModbusClient.h"
#include "OutputModuleModel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

using L = QStringList;
using Words = QList<quint16>;

class tst_Do8 : public EditorTestCase
{
    Q_OBJECT

public:
    tst_Do8()
        : EditorTestCase("devplugin_do8", [] { return std::make_unique<OutputModuleModel>(); })
    {
    }

private:
    QAbstractButton *relay(int n) { return child<QAbstractButton>("out" + QString::number(n)); }
    // Bit n-1 set when <prefix>n is checked: "out" relay buttons, "safe" safe-state boxes.
    quint16 shown(const char *prefix)
    {
        QString bits = EditorTestCase::shown(numbered(prefix, 8)).remove('|');
        std::reverse(bits.begin(), bits.end());
        return bits.toUShort(nullptr, 2);
    }

private slots:
    // Once its editor is gone, reading and writing must not touch the device.
    void editorGone()
    {
        m_editor.reset();
        QCOMPARE(sentByRead() + sentByWrite(), L());
    }

    // Locked until the relay register was read, then every click writes the mask at once.
    void relays()
    {
        setRegisters(0, {0xFF80});
        setRegisters(101, {9});
        const std::unique_ptr<QWidget> first = std::move(m_editor);
        createEditor(); // the editor made last is the one read
        const quint64 failures = client()->failureCount();
        device()->setFault(Fault::Exception, 4, 1);
        // The failed relay read is counted; the settings block is read all the same.
        QCOMPARE(sentByRead(), (L{"3@0x1", "3@100x6"}));
        QCOMPARE(client()->failureCount(), failures + 1);
        QCOMPARE(child<QSpinBox>("timeoutSpin")->value(), 9);
        // A relay switched now would switch off the relays that are on but not shown.
        m_bench.clearRequests();
        for (int n = 1; n <= 8; ++n)
            QVERIFY(!relay(n)->isEnabled());
        relay(2)->setChecked(true);
        QCOMPARE(m_bench.requests(), L());

        m_plugin->readFromDevice();
        QVERIFY(relay(1)->isEnabled());
        QCOMPARE(shown("out"), quint16(0x80));
        QVERIFY(!findControl<QAbstractButton>(first.get(), "out8")->isChecked());
        m_bench.clearRequests();
        relay(2)->click(); // on beside OUT8; the upper byte is not sent
        relay(8)->click();
        QCOMPARE(m_bench.requests(), (L{"6@0=130", "6@0=2"}));
        QCOMPARE(device()->holdingRegister(0), quint16(0x02));
        // A relay the device refused to switch goes back to what the device has.
        device()->setFault(Fault::Exception, 4, 1);
        relay(5)->click();
        QCOMPARE(shown("out"), quint16(0x02));
    }

    // A write answered only after the client gave up on it may have switched the relay:
    // the buttons show what register 0 holds then, and stay inert until it is read.
    void relayWriteTooLate_data()
    {
        QTest::addColumn<bool>("readBack"); // the read that follows the write is answered
        QTest::newRow("read back") << true;
        QTest::newRow("read back unanswered") << false;
    }
    void relayWriteTooLate()
    {
        QFETCH(bool, readBack);
        setRegisters(0, {0x02});
        m_plugin->readFromDevice();
        m_bench.clearRequests();
        device()->setFault(Fault::Delay, 800, 2); // the write and its repeat
        connect(device(), &DeviceSimulator::requestReceived, this, [=, n = 0]() mutable {
            if (++n == 3 && !readBack)
                device()->setFault(Fault::NoReply, 0, 2);
        });
        relay(5)->click();
        QCOMPARE(m_bench.requests(), L(2, "6@0=18") + L(readBack ? 1 : 2, "3@0x1"));
        QCOMPARE(device()->holdingRegister(0), quint16(0x12)); // the device did switch it
        QCOMPARE(relay(1)->isEnabled(), readBack);
        if (!readBack) {
            m_bench.clearRequests();
            relay(1)->setChecked(true);
            QCOMPARE(m_bench.requests(), L());
            m_plugin->readFromDevice();
            QVERIFY(relay(1)->isEnabled());
        }
        QCOMPARE(shown("out"), quint16(0x12));
    }

    // The device takes timeout and safe mask together, whichever of them changed.
    void safeStateWritesBoth()
    {
        child<QAbstractButton>("safe3")->click();
        child<QSpinBox>("timeoutSpin")->setValue(7);
        QCOMPARE(m_bench.requests(), (L{"6@101=3", "6@102=4", "6@101=7", "6@102=4"}));
    }

    // What a read shows (relays, safe mask, address, timeout; baud rate, parity) and what
    // Save to Flash then writes before its save command.
    void readThenSave_data()
    {
        QTest::addColumn<Words>("registers"); // 0, then 100-105; none: never read
        QTest::addColumn<int>("pickedBaud");  // -1: the box is left alone
        QTest::addColumn<Words>("shown");
        QTest::addColumn<L>("boxes");
        QTest::addColumn<L>("written");
        QTest::newRow("never read") << Words{} << -1 << Words{0, 0, 1, 3} << L{"9600", "None"}
                                    << L{"16@100=1,3", "6@102=0", "16@104=2,0"};
        QTest::newRow("in range") << Words{0xA5, 5, 65535, 0xF0, 0, 3, 1} << -1
                                  << Words{0xA5, 0xF0, 5, 65535} << L{"19200", "Even"}
                                  << L{"16@100=5,65535", "6@102=240", "16@104=3,1"};
        // Spin boxes clamp; baud rate and parity off the lists go back as the device had them.
        const Words odd = {0xFF00, 248, 0, 0xFF0F, 0, 9, 7};
        QTest::newRow("off the lists") << odd << -1 << Words{0, 0x0F, 247, 1} << L{"", ""}
                                       << L{"16@100=247,1", "6@102=15", "16@104=9,7"};
        QTest::newRow("rate picked") << odd << 4 << Words{0, 0x0F, 247, 1} << L{"", ""}
                                     << L{"16@100=247,1", "6@102=15", "16@104=4,7"};
    }
    void readThenSave()
    {
        QFETCH(Words, registers);
        QFETCH(int, pickedBaud);
        if (!registers.isEmpty()) {
            setRegisters(0, registers.mid(0, 1));
            setRegisters(100, registers.mid(1));
            // Showing what was read must not write it back.
            QCOMPARE(sentByRead(), (L{"3@0x1", "3@100x6"}));
        }
        QTEST((Words{shown("out"), shown("safe"),
                     quint16(child<QSpinBox>("deviceAddressSpin")->value()),
                     quint16(child<QSpinBox>("timeoutSpin")->value())}), "shown");
        QTEST((L{child<QComboBox>("deviceBaudCombo")->currentText(),
                 child<QComboBox>("deviceParityCombo")->currentText()}), "boxes");
        if (pickedBaud >= 0)
            child<QComboBox>("deviceBaudCombo")->setCurrentIndex(pickedBaud);
        // The session saves only if the write left the client's failure count alone.
        const quint64 failures = client()->failureCount();
        device()->setFault(Fault::Exception, 4, 1);
        m_plugin->writeToDevice();
        QCOMPARE(client()->failureCount(), failures + 1);
        QTEST(sentByWrite(), "written");
        QCOMPARE(client()->failureCount(), failures + 1);
        QSignalSpy saved(device(), &DeviceSimulator::saveCommandReceived);
        QVERIFY(client()->writeRegister(m_plugin->saveRegisterAddress(),
                                        DeviceSimulator::SaveCommand));
        QCOMPARE(saved.count(), 1);
    }
};

QTEST_MAIN(tst_Do8)
#include "tst_do8.moc"
