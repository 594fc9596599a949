#include "ColumnIndicatorModel.h"
#include "EditorTestCase.h"
#include "ModbusClient.h"

#include <QtTest>
#include <QtWidgets>

using Ints = QList<int>;
// The registers a fresh editor writes: node 1, 9600, no parity, then per column node 1.
const QString freshRegisters =
    "16@0=0,1,2,0,0,0,0,0,0" + QStringLiteral(",1,0,0,0,0,0,0,0,0").repeated(4);

// The column indicator's editor against a simulated column indicator.
class tst_Column : public EditorTestCase
{
    Q_OBJECT

public:
    tst_Column()
        : EditorTestCase("devplugin_column",
                         [] { return std::make_unique<ColumnIndicatorModel>(); })
    {
    }

private:
    QAbstractButton *box(const QString &name, QWidget *in = nullptr) const
    { return child<QAbstractButton>(name, in); }
    // Baud rate, parity, then address, safe period, sources 1 and 4, ranges 4, test values.
    QString settings() const
    {
        return shown("deviceBaudCombo deviceParityCombo deviceAddressSpin safePeriodSpin "
                     "remoteNode1 inputRegister1 remoteNode4 inputRegister4 range4_1 range4_2 "
                     "range4_3 range4_4 range4_5 range4_6 range4_7 testValue1 testValue2 "
                     "testValue3 testValue4")
            .replace('|', ',');
    }
    // The ten boxes in coil order, then + when the safe-period controls are enabled.
    QString flags() const
    {
        const QString on = enabled("safePeriodCheck safePeriodSpin");
        return shown("slaveModeCheck safePeriodCheck active1 hidePrevious1 active2 "
                     "hidePrevious2 active3 hidePrevious3 active4 hidePrevious4")
                   .remove('|')
               + (on == "11" ? '+' : on == "00" ? '-' : '?');
    }

private slots:
    void read_data()
    {
        QTest::addColumn<Ints>("registers"); // address, value, address, value...
        QTest::addColumn<Ints>("coils");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<bool>("userSlave"); // "Use as slave" checked before the read
        QTest::addColumn<QString>("port");   // registers 1 to 3 of the next write
        const QString factory = "9600,None,1,10,2,0,5,0,0,199,200,399,400,799,800,0,0,0,0";
        QTest::newRow("factory device")
            << Ints{} << Ints{} << "" << factory << "0010101010-" << true << "1,2,0";
        QTest::newRow("slave device")
            << Ints{1, 5, 2, 6, 3, 2, 4, 30, 5, 100, 8, 400, 9, 7, 10, 12, 44, 999}
            << Ints{0, 1, 1, 1, 3, 1, 5, 0, 9, 1} << ""
            << "115200,Odd,5,30,7,12,5,0,0,199,200,399,400,799,999,100,0,0,400" << "1111101011+"
            << false << "5,6,2";
        // Rates and parities off the lists show no entry and go back as the device had
        // them; spin boxes clamp.
        QTest::newRow("out of range")
            << Ints{1, 0, 2, 9, 3, 7, 36, 248} << Ints{} << ""
            << ",,1,10,2,0,247,0,0,199,200,399,400,799,800,0,0,0,0" << "0010101010-"
            << false << "1,9,7";
        QTest::newRow("registers refused")
            << Ints{1, 5} << Ints{} << "3@0 Exception"
            << "19200,Even,1,0,1,0,1,0,0,0,0,0,0,0,0,0,0,0,0" << "0010101010-" << true
            << "1,3,1";
        QTest::newRow("coils refused")
            << Ints{} << Ints{0, 1} << "1@0 Exception" << factory << "1000000000+" << true
            << "1,2,0";
    }
    void read()
    {
        QFETCH(Ints, registers);
        QFETCH(Ints, coils);
        for (int i = 0; i + 1 < registers.size(); i += 2)
            device()->setHoldingRegister(registers[i], quint16(registers[i + 1]));
        for (int i = 0; i + 1 < coils.size(); i += 2)
            device()->setCoil(coils[i], coils[i + 1]);
        child<QComboBox>("deviceBaudCombo")->setCurrentIndex(3);
        child<QComboBox>("deviceParityCombo")->setCurrentIndex(1);
        QFETCH(bool, userSlave);
        if (userSlave)
            box("slaveModeCheck")->click(); // opens the safe-period controls, writes nothing
        QCOMPARE(flags(), userSlave ? "1000000000+" : "0000000000-");
        QFETCH(QString, fault);
        onRequest(fault);
        QCOMPARE(sentByRead(), (QStringList{"3@0x45", "1@0x10"})); // never a write
        QTEST(settings(), "settings");
        QTEST(flags(), "flags");
        QTEST(sentByWrite().value(0).mid(5).split(',').mid(1, 3).join(','), "port");
    }

    void write_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("fresh editor") << "";
        QTest::newRow("registers refused") << "16@0 Exception"; // the coils go out all the same
        QTest::newRow("coils refused") << "15@0 Exception";
    }
    void write()
    {
        QFETCH(QString, fault);
        onRequest(fault);
        const quint64 failures = m_bench.client()->failureCount();
        QCOMPARE(sentByWrite(), (QStringList{freshRegisters, "15@0=0,0,0,0,0,0,0,0,0,0"}));
        QCOMPARE(m_bench.client()->failureCount(), failures + (fault.isEmpty() ? 0 : 1));
    }

    void slaveTest_data()
    {
        QTest::addColumn<bool>("enableSlave");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("status");
        const QString applied = "Test values applied.";
        QTest::newRow("values only") << false << "" << applied;
        QTest::newRow("slave mode first") << true << "" << applied;
        QTest::newRow("slave mode refused")
            << true << "5@0 Exception"
            << "Failed to enable slave mode: Modbus exception 4 (server device failure)";
        QTest::newRow("values refused")
            << false << "16@5 Exception"
            << "Failed to apply test values: Modbus exception 4 (server device failure)";
    }
    void slaveTest()
    {
        QFETCH(bool, enableSlave);
        QFETCH(QString, fault);
        QFETCH(QString, status);
        for (const auto &[n, value] : {std::pair{1, 10}, {2, 250}, {3, 500}, {4, 900}})
            child<QSpinBox>(QStringLiteral("testValue%1").arg(n))->setValue(value);
        box("enableSlaveOnApplyCheck")->setChecked(enableSlave);
        onRequest(fault);
        box("applyTestButton")->click();
        QCOMPARE(child<QLabel>("slaveTestStatusLabel")->text(), status);
        // The coil first when asked for; the values only when slave mode could be set.
        const bool slaveFailed = status.contains("slave mode");
        QStringList requests = enableSlave ? QStringList{"5@0=1"} : QStringList{};
        if (!slaveFailed)
            requests << "16@5=10,250,500,900";
        QCOMPARE(m_bench.requests(), requests);
        const bool slave = enableSlave && !slaveFailed;
        QCOMPARE(flags().left(1), slave ? "1" : "0");
        QCOMPARE(device()->coil(0), slave);
    }

    // As a user: connect, Read All, Save to Flash; the device keeps what was saved.
    void throughMainWindow()
    {
        QWidget *editor = connectWindow();
        QVERIFY(editor);
        QCOMPARE(m_bench.requests(), (QStringList{"4@0x1", "4@1x2", "3@0x45", "1@0x10"}));
        child<QSpinBox>("remoteNode1", editor)->setValue(17);
        QCOMPARE(sentByClick("readAll"), (QStringList{"3@0x45", "1@0x10"}));
        QCOMPARE(child<QSpinBox>("remoteNode1", editor)->value(), 2);

        QString registers = "16@0=0"; // what the device has, register 9 edited; 0 the command
        for (int r = 1; r < 45; ++r)
            registers += ',' + QString::number(r == 9 ? 17 : device()->holdingRegister(r));
        child<QSpinBox>("remoteNode1", editor)->setValue(17);
        box("hidePrevious4", editor)->click();
        QCOMPARE(sentByClick("saveToFlash"),
                 (QStringList{registers, "15@0=0,0,1,0,1,0,1,0,1,1", "6@0=768"}));

        m_bench.closeWindow();
        QVERIFY(restart());
        QCOMPARE(device()->holdingRegister(9), quint16(17));
        QVERIFY(device()->coil(9));
        QCOMPARE(device()->holdingRegister(0), quint16(0)); // the command is not kept
    }
};

QTEST_MAIN(tst_Column)
#include "tst_column.moc"
