#include "ColumnIndicatorModel.h"
#include "DeviceBench.h"
#include "DevicePlugin.h"
#include "DeviceSimulator.h"
#include "MessageBoxAnswerer.h"
#include "ModbusClient.h"
#include "PluginManager.h"
#include "TestApplication.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using Ints = QList<int>;

namespace {
QString line(const QString &head, const Ints &values)
{
    QStringList texts;
    for (int v : values)
        texts << QString::number(v);
    return head + texts.join(',');
}
// The 45 registers a fresh editor writes: node 1, 9600, no parity, then per column node 1.
Ints freshRegisters()
{
    Ints registers{0, 1, 2, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        registers << 1 << 0 << Ints(7, 0);
    return registers;
}
// The reader's view of the device: the register and coil pokes and the fault come from
// the table; "at Fault" arms the fault for the request "function@address".
struct Fault
{
    QString at;
    DeviceSimulator::Fault kind = DeviceSimulator::Fault::None;
};
} // namespace
Q_DECLARE_METATYPE(Fault)

// The column indicator's editor against a simulated column indicator.
class tst_Column : public QObject
{
    Q_OBJECT

    QTemporaryDir m_stateDir;
    DeviceBench m_bench;
    DevicePlugin *m_plugin = nullptr;
    std::unique_ptr<QWidget> m_editor;

    DeviceSimulator *device() const { return m_bench.device(); }
    template<typename T = QAbstractButton>
    T *child(const QString &name, QWidget *editor = nullptr) const
    {
        T *found = (editor ? editor : m_editor.get())->findChild<T *>(name);
        return found ? found : (qFatal("no control %s", qPrintable(name)), nullptr);
    }
    QString spins(const QString &names) const
    {
        QStringList values;
        for (const QString &name : names.split(','))
            values << QString::number(child<QSpinBox>(name)->value());
        return values.join(',');
    }
    // "address|baud|parity|safe period|source 1|source 4|ranges 4|test values"
    QString settings() const
    {
        return QStringList{spins("deviceAddressSpin"),
                           child<QComboBox>("deviceBaudCombo")->currentText(),
                           child<QComboBox>("deviceParityCombo")->currentText(),
                           spins("safePeriodSpin"), spins("remoteNode1,inputRegister1"),
                           spins("remoteNode4,inputRegister4"),
                           spins("range4_1,range4_2,range4_3,range4_4,range4_5,range4_6,range4_7"),
                           spins("testValue1,testValue2,testValue3,testValue4")}
            .join('|');
    }
    // The ten boxes in coil order, then + when the safe-period controls are enabled.
    QString flags() const
    {
        QString bits;
        for (const char *name : {"slaveModeCheck", "safePeriodCheck", "active1", "hidePrevious1",
                                    "active2", "hidePrevious2", "active3", "hidePrevious3",
                                    "active4", "hidePrevious4"})
            bits += child(name)->isChecked() ? '1' : '0';
        const bool on = child("safePeriodCheck")->isEnabled();
        if (child<QSpinBox>("safePeriodSpin")->isEnabled() != on)
            return bits + '?';
        return bits + (on ? '+' : '-');
    }
    void arm(const Fault &fault)
    {
        connect(device(), &DeviceSimulator::requestReceived, this,
                [this, fault](const SimulatedRequest &r) {
                    if (QStringLiteral("%1@%2").arg(r.function).arg(r.address) == fault.at)
                        device()->setFault(fault.kind, 4, 1);
                });
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        QVERIFY(m_stateDir.isValid());
        QVERIFY2(m_bench.open(), qPrintable(m_bench.errorString()));
        m_plugin = m_bench.loadPlugin(TAVROLIX_PLUGIN_DIR, "devplugin_column");
        QVERIFY2(m_plugin, qPrintable(m_bench.errorString()));
        PluginManager::instance()->loadPluginsFromDir(TAVROLIX_PLUGIN_DIR);
    }
    void init()
    {
        QVERIFY(m_bench.start(std::make_unique<ColumnIndicatorModel>()));
        QVERIFY2(m_bench.connectClient(), qPrintable(m_bench.errorString()));
    }
    void cleanup()
    {
        m_editor.reset();
        m_bench.client()->disconnect();
        m_bench.closeWindow();
        m_bench.stop();
    }

    // First, while no editor exists: reading and writing must not touch the device.
    void identity()
    {
        QCOMPARE(m_plugin->signature(), quint16(18));
        QCOMPARE(m_plugin->deviceName(), "columnIndicator");
        QCOMPARE(m_plugin->description(), "4-channel column indicator");
        QCOMPARE(m_plugin->saveRegisterAddress(), quint16(0));
        m_plugin->readFromDevice();
        m_plugin->writeToDevice();
        QCOMPARE(m_bench.requests(), QStringList());
    }

    void read_data()
    {
        QTest::addColumn<Ints>("registers"); // address, value, address, value...
        QTest::addColumn<Ints>("coils");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("flags");
        const QString fresh = "1|19200|Even|0|1,0|1,0|0,0,0,0,0,0,0|0,0,0,0";
        const QString factory = "1|9600|None|10|2,0|5,0|0,199,200,399,400,799,800|0,0,0,0";
        QTest::newRow("factory device") << Ints{} << Ints{} << Fault{} << factory << "0010101010-";
        QTest::newRow("slave device")
            << Ints{1, 5, 2, 6, 3, 2, 4, 30, 5, 100, 8, 400, 9, 7, 10, 12, 44, 999}
            << Ints{0, 1, 1, 1, 3, 1, 5, 0, 9, 1} << Fault{}
            << "5|115200|Odd|30|7,12|5,0|0,199,200,399,400,799,999|100,0,0,400" << "1111101011+";
        // Values no entry carries leave the boxes as they were; spin boxes clamp.
        QTest::newRow("out of range") << Ints{1, 0, 2, 9, 3, 7, 36, 248} << Ints{} << Fault{}
                                      << "1|19200|Even|10|2,0|247,0|0,199,200,399,400,799,800|0,0,0,0"
                                      << "0010101010-";
        QTest::newRow("registers refused") << Ints{1, 5} << Ints{0, 1}
                                           << Fault{"3@0", DeviceSimulator::Fault::Exception}
                                           << fresh << "1010101010+";
        QTest::newRow("coils refused") << Ints{} << Ints{0, 1}
                                       << Fault{"1@0", DeviceSimulator::Fault::Exception}
                                       << factory << "0000000000-";
    }
    void read()
    {
        QFETCH(Ints, registers);
        QFETCH(Ints, coils);
        for (int i = 0; i + 1 < registers.size(); i += 2)
            device()->setHoldingRegister(registers[i], quint16(registers[i + 1]));
        for (int i = 0; i + 1 < coils.size(); i += 2)
            device()->setCoil(coils[i], coils[i + 1]);
        m_editor.reset(m_plugin->createWidget(m_bench.client(), nullptr));
        child<QComboBox>("deviceBaudCombo")->setCurrentIndex(3);
        child<QComboBox>("deviceParityCombo")->setCurrentIndex(1);
        QFETCH(Fault, fault);
        arm(fault);
        m_bench.clearRequests();
        m_plugin->readFromDevice();
        QCOMPARE(m_bench.requests(), (QStringList{"3@0x45", "1@0x10"})); // never a write
        QTEST(settings(), "settings");
        QTEST(flags(), "flags");
    }

    // Only "Use as slave" opens the safe-period controls, whoever changes it.
    void safePeriodControls()
    {
        m_editor.reset(m_plugin->createWidget(m_bench.client(), nullptr));
        QCOMPARE(flags(), "0000000000-");
        child("slaveModeCheck")->click();
        QCOMPARE(flags(), "1000000000+");
        m_plugin->readFromDevice(); // the device is in master mode
        QCOMPARE(flags(), "0010101010-");
        device()->setCoil(0, true);
        m_plugin->readFromDevice();
        QCOMPARE(flags(), "1010101010+");
        child("slaveModeCheck")->click();
        QCOMPARE(flags(), "0010101010-");
        QCOMPARE(m_bench.requests(), (QStringList{"3@0x45", "1@0x10", "3@0x45", "1@0x10"}));
    }

    void write_data()
    {
        QTest::addColumn<bool>("readFirst");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QStringList>("requests");
        Ints factory = freshRegisters();
        factory[4] = 10;
        const Ints limits{0, 199, 200, 399, 400, 799, 800};
        for (int i = 0; i < 4; ++i) {
            factory[9 + 9 * i] = i + 2;
            for (int r = 0; r < 7; ++r)
                factory[11 + 9 * i + r] = limits[r];
        }
        const QStringList fresh{line("16@0=", freshRegisters()), line("15@0=", Ints(10, 0))};
        QTest::newRow("fresh editor") << false << Fault{} << fresh;
        // The coils go out even when the device refused the registers.
        QTest::newRow("registers refused")
            << false << Fault{"16@0", DeviceSimulator::Fault::Exception} << fresh;
        QTest::newRow("read, written back unchanged")
            << true << Fault{}
            << QStringList{line("16@0=", factory), line("15@0=", {0, 0, 1, 0, 1, 0, 1, 0, 1, 0})};
    }
    void write()
    {
        QFETCH(bool, readFirst);
        QFETCH(Fault, fault);
        m_editor.reset(m_plugin->createWidget(m_bench.client(), nullptr));
        if (readFirst)
            m_plugin->readFromDevice();
        arm(fault);
        m_bench.clearRequests();
        const quint64 failures = m_bench.client()->failureCount();
        m_plugin->writeToDevice();
        QTEST(m_bench.requests(), "requests");
        QCOMPARE(m_bench.client()->failureCount(), failures + (fault.at.isEmpty() ? 0 : 1));
    }

    void slaveTest_data()
    {
        QTest::addColumn<bool>("enableSlave");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("reported"); // by the simulated device
        const QString values = "16@5=10,250,500,900";
        const QString shown = "slave values: 1: 10 (red), 2: 250 (yellow), 3: 500 (green), "
                              "4: 900 (blue)";
        const QString applied = "Test values applied.";
        using F = DeviceSimulator::Fault;
        QTest::newRow("values only") << false << Fault{} << QStringList{values} << applied
                                     << QStringList{shown};
        QTest::newRow("slave mode first")
            << true << Fault{} << QStringList{"5@0=1", values} << applied
            << QStringList{"mode: slave, no safe period", shown};
        QTest::newRow("slave mode times out")
            << true << Fault{"5@0", F::NoReply} << QStringList{"5@0=1"}
            << "Failed to enable slave mode: Timeout" << QStringList{};
        QTest::newRow("slave mode refused")
            << true << Fault{"5@0", F::Exception} << QStringList{"5@0=1"}
            << "Failed to enable slave mode: Modbus Exception Response." << QStringList{};
        QTest::newRow("values refused")
            << false << Fault{"16@5", F::Exception} << QStringList{values}
            << "Failed to apply test values: Modbus Exception Response." << QStringList{};
        QTest::newRow("offline") << true << Fault{"offline"} << QStringList{} << ""
                                 << QStringList{};
    }
    void slaveTest()
    {
        QFETCH(bool, enableSlave);
        QFETCH(Fault, fault);
        QFETCH(QStringList, requests);
        m_editor.reset(m_plugin->createWidget(m_bench.client(), nullptr));
        const Ints values{10, 250, 500, 900};
        for (int i = 0; i < 4; ++i)
            child<QSpinBox>(QStringLiteral("testValue%1").arg(i + 1))->setValue(values[i]);
        child("enableSlaveOnApplyCheck")->setChecked(enableSlave);
        if (fault.at == "offline")
            m_bench.client()->disconnect();
        arm(fault);
        QSignalSpy reported(m_bench.model(), &DeviceModel::report);
        child("applyTestButton")->click();
        QTEST(child<QLabel>("slaveTestStatusLabel")->text(), "status");
        QStringList sent = m_bench.requests();
        sent.removeDuplicates(); // the library repeats a request that went unanswered
        QCOMPARE(sent, requests);
        const bool slave = requests.size() == 2;
        QCOMPARE(flags().left(1), slave ? "1" : "0");
        QCOMPARE(device()->coil(0), slave);
        QStringList lines;
        for (const QList<QVariant> &signal : std::as_const(reported))
            lines << signal.at(0).toString();
        QTEST(lines, "reported");
    }

    // The header texts are taken once per program run: a later translation leaves them.
    void rangeHeadersTranslatedOnce()
    {
        m_editor.reset(m_plugin->createWidget(m_bench.client(), nullptr));
        struct Marking : QTranslator
        {
            bool isEmpty() const override { return false; }
            QString translate(const char *, const char *text, const char *, int) const override
            {
                return QLatin1Char('~') + QLatin1String(text);
            }
        } marking;
        QCoreApplication::installTranslator(&marking);
        m_editor.reset(m_plugin->createWidget(m_bench.client(), nullptr));
        QCoreApplication::removeTranslator(&marking);
        QStringList texts;
        for (const QLabel *label : m_editor->findChildren<QLabel *>())
            texts << label->text();
        QVERIFY(texts.contains("~Hide previous"));
        QVERIFY(texts.contains("Red Begin") && texts.contains("Blue"));
    }

    // As a user: connect, Read All, Save to Flash; the device keeps what was saved.
    void throughMainWindow()
    {
        m_bench.client()->disconnect(); // the window opens the port itself
        const QString state = m_stateDir.filePath("column.ini");
        QVERIFY(m_bench.start(std::make_unique<ColumnIndicatorModel>(), state));
        m_bench.openWindow();
        QVERIFY(m_bench.click("connect"));
        QWidget *editor = m_bench.editor();
        QVERIFY(editor);
        const QTabWidget *tabs = editor->findChild<QTabWidget *>();
        QCOMPARE((QStringList{tabs->tabText(0), tabs->tabText(1), tabs->tabText(2)}),
                 (QStringList{"Configuration", "Ranges", "Slave Test"}));
        QCOMPARE(m_bench.requests(), (QStringList{"4@0x1", "4@1x2", "3@0x45", "1@0x10"}));
        child<QSpinBox>("remoteNode1", editor)->setValue(17);
        m_bench.clearRequests();
        QVERIFY(m_bench.click("readAll"));
        QCOMPARE(m_bench.requests(), (QStringList{"3@0x45", "1@0x10"}));
        QCOMPARE(child<QSpinBox>("remoteNode1", editor)->value(), 2);

        child<QSpinBox>("remoteNode1", editor)->setValue(17);
        child("hidePrevious4", editor)->click();
        m_bench.clearRequests();
        QVERIFY(m_bench.click("saveToFlash"));
        QCOMPARE(m_bench.answerer()->boxes().last(), "Success|Saved successfully!|Information");
        const QStringList sent = m_bench.requests();
        QCOMPARE(sent.size(), 3);
        QVERIFY(sent[0].startsWith("16@0=0,1,2,0,10,0,0,0,0,17,0,0,199,"));
        QCOMPARE(sent.mid(1), (QStringList{"15@0=0,0,1,0,1,0,1,0,1,1", "6@0=768"}));

        m_bench.closeWindow();
        QVERIFY(m_bench.start(std::make_unique<ColumnIndicatorModel>(), state)); // power cycle
        QCOMPARE(device()->holdingRegister(9), quint16(17));
        QVERIFY(device()->coil(9));
        QCOMPARE(device()->holdingRegister(0), quint16(0)); // the command is not kept
    }
};

QTEST_MAIN(tst_Column)
#include "tst_column.moc"
