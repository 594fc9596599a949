#include "AnalogModuleModel.h"
#include "ColumnIndicatorModel.h"
#include "ConfigurationCloner.h"
#include "ConfigurationCompareDialog.h"
#include "ConfigurationFile.h"
#include "ConfigurationMenu.h"
#include "ConfigurationTransfer.h"
#include "DeviceBench.h"
#include "DeviceSimulator.h"
#include "GsmModemModel.h"
#include "InputModuleModel.h"
#include "LedIndicatorModel.h"
#include "LogLines.h"
#include "MainWindow.h"
#include "MessageBoxAnswerer.h"
#include "ModbusClient.h"
#include "NodeList.h"
#include "OutputModuleModel.h"
#include "PluginManager.h"
#include "TestApplication.h"
#include "VirtualBus.h"
#include "VoltmeterModel.h"

#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

using Fault = DeviceSimulator::Fault;
using Status = ConfigurationTransfer::Status;
using ModelFactory = std::function<std::unique_ptr<DeviceModel>()>;
Q_DECLARE_METATYPE(ModelFactory)
Q_DECLARE_METATYPE(ConfigurationBlock::Table)
Q_DECLARE_METATYPE(ConfigurationTransfer::Status)

namespace {

template<typename Model>
ModelFactory factory()
{
    return [] { return std::make_unique<Model>(); };
}

QStringList differing(const QList<ConfigurationTransfer::Row> &rows)
{
    QStringList fields;
    for (const ConfigurationTransfer::Row &row : rows) {
        if (row.differs)
            fields << row.field;
    }
    return fields;
}

// The writes among `requests`: function codes 5, 6, 15 and 16.
QStringList writes(const QStringList &requests)
{
    static const QRegularExpression write(QStringLiteral("^(5|6|15|16)@"));
    return requests.filter(write);
}

} // namespace

class tst_Configuration : public QObject
{
    Q_OBJECT

    DeviceBench m_bench;
    QTemporaryDir m_dir;

    DeviceSimulator *device() const { return m_bench.device(); }
    ConfigurationTransfer transfer() const
    {
        const quint16 signature = device()->signature();
        return ConfigurationTransfer(m_bench.client(),
                                     PluginManager::instance()->pluginForSignature(signature),
                                     PluginManager::instance()->configurationForSignature(signature));
    }
    void startDevice(const ModelFactory &model)
    {
        m_bench.client()->disconnect();
        QVERIFY2(m_bench.start(model()), qPrintable(m_bench.errorString()));
        QVERIFY2(m_bench.connectClient(), qPrintable(m_bench.errorString()));
    }
    void set(ConfigurationBlock::Table table, int address, quint16 value)
    {
        if (table == ConfigurationBlock::Table::Coils)
            device()->setCoil(address, value != 0);
        else
            device()->setHoldingRegister(address, value);
    }
    // The first request "function@address" meets `fault`, and `then` runs right after.
    void onRequest(const QString &request, Fault fault, const std::function<void()> &then = {})
    {
        connect(device(), &DeviceSimulator::requestReceived, this,
                [=, armed = true](const SimulatedRequest &r) mutable {
                    if (!armed || QStringLiteral("%1@%2").arg(r.function).arg(r.address) != request)
                        return;
                    armed = false;
                    device()->setFault(fault, 1, 5); // the toolkit retries a lost request
                    if (then)
                        QTimer::singleShot(0, this, then);
                });
    }
    quint16 get(ConfigurationBlock::Table table, int address) const
    {
        return table == ConfigurationBlock::Table::Coils ? quint16(device()->coil(address))
                                                         : device()->holdingRegister(address);
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_bench.open(), qPrintable(m_bench.errorString()));
    }
    void init() { startDevice(factory<OutputModuleModel>()); }

    // Each device type read into a file, one setting changed on the device, the file
    // restored: the compare names that field, the restore writes its block alone and
    // the save command last, and the device holds the file's value again.
    void readCompareRestore_data()
    {
        using Table = ConfigurationBlock::Table;
        QTest::addColumn<ModelFactory>("model");
        QTest::addColumn<Table>("table");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("write"); // the one block write of the restore
        QTest::addColumn<QString>("save");
        QTest::newRow("do8") << factory<OutputModuleModel>() << Table::HoldingRegisters << 101
                             << "Safe state timeout" << "16@100=1," << "6@99=768";
        QTest::newRow("di40") << factory<InputModuleModel>() << Table::HoldingRegisters << 20
                              << "Input 9 delay" << "16@12=" << "6@103=768";
        QTest::newRow("ind4") << factory<LedIndicatorModel>() << Table::HoldingRegisters << 28
                              << "Switch period" << "16@11=" << "6@4=768";
        QTest::newRow("column") << factory<ColumnIndicatorModel>() << Table::Coils << 2
                                << "Column 1 active" << "15@0=" << "6@0=768";
        QTest::newRow("ai8") << factory<AnalogModuleModel>() << Table::HoldingRegisters << 9
                             << "Channel 2 ramp" << "16@0=" << "6@28=768";
        QTest::newRow("volt") << factory<VoltmeterModel>() << Table::HoldingRegisters << 5
                              << "Input 2 ramp" << "16@0=" << "6@20=768";
        QTest::newRow("gsm") << factory<GsmModemModel>() << Table::HoldingRegisters << 524
                             << "Message 17" << "16@524=" << "6@0=768";
    }
    void readCompareRestore()
    {
        QFETCH(ModelFactory, model);
        QFETCH(ConfigurationBlock::Table, table);
        QFETCH(int, address);
        QFETCH(QString, field);
        QFETCH(QString, write);
        QFETCH(QString, save);
        startDevice(model);

        ConfigurationFile read;
        QVERIFY(transfer().read(&read).ok());
        QCOMPARE(read.firmwareVersion.isEmpty(), false);
        QString error;
        const QString path = m_dir.filePath(QTest::currentDataTag() + QStringLiteral(".tavcfg"));
        QVERIFY2(read.save(path, &error), qPrintable(error));
        ConfigurationFile file;
        QVERIFY2(file.load(path, &error), qPrintable(error));
        QCOMPARE(file.toJson(), read.toJson());

        const quint16 stored = get(table, address);
        set(table, address, stored ^ 1);
        QList<ConfigurationTransfer::Row> rows;
        QVERIFY(transfer().compare(file, &rows).ok());
        QCOMPARE(differing(rows), QStringList{field});

        m_bench.clearRequests();
        const ConfigurationTransfer::Result restored = transfer().restore(file, {});
        QVERIFY2(restored.ok(), qPrintable(restored.message));
        QCOMPARE(restored.blocksWritten, 1);
        const QStringList written = writes(m_bench.requests());
        QCOMPARE(written.size(), 2);
        QVERIFY2(written.first().startsWith(write), qPrintable(written.first()));
        QCOMPARE(m_bench.requests().last(), save);
        QCOMPARE(get(table, address), stored);
    }

    // The device's own line setting is kept unless the file's is asked for.
    void serialSettingsKept()
    {
        ConfigurationFile file;
        QVERIFY(transfer().read(&file).ok());
        device()->setHoldingRegister(100, 7); // node address
        QList<ConfigurationTransfer::Row> rows;
        QVERIFY(transfer().compare(file, &rows).ok());
        QCOMPARE(differing(rows), QStringList());
        QVERIFY(transfer().compare(file, &rows, true).ok());
        QCOMPARE(differing(rows), QStringList{"Node address"});

        m_bench.clearRequests();
        QVERIFY(transfer().restore(file, {false, false}).ok());
        QCOMPARE(writes(m_bench.requests()), QStringList());
        QVERIFY(transfer().restore(file, {true, true}).ok());
        QCOMPARE(writes(m_bench.requests()), (QStringList{"16@100=1,3", "6@99=768"}));
        QCOMPARE(device()->holdingRegister(100), quint16(1));
    }

    // A failed write, a read-back that does not match and a refused save each stop the
    // restore with the field named; the first two before the save command.
    void failureStopsBeforeSave_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("overwrite"); // the device changes the value right after
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("refused write") << "16@100" << Fault::Exception << false
                                       << Status::WriteFailed << "Writing Node address failed";
        QTest::newRow("no answer") << "16@100" << Fault::NoReply << false << Status::WriteFailed
                                   << "Writing Node address failed";
        QTest::newRow("read back differs")
            << "16@100" << Fault::None << true << Status::VerifyFailed
            << "Safe state timeout was written as 3, but the device holds 9.";
        QTest::newRow("save refused") << "6@99" << Fault::Exception << false
                                      << Status::SaveFailed << "did not take the save command";
    }
    void failureStopsBeforeSave()
    {
        QFETCH(QString, request);
        QFETCH(Fault, fault);
        QFETCH(bool, overwrite);
        QFETCH(Status, status);
        QFETCH(QString, message);
        ConfigurationFile file;
        QVERIFY(transfer().read(&file).ok());
        device()->setHoldingRegister(101, 8); // the file holds the factory 3
        onRequest(request, fault, [this, overwrite] {
            if (overwrite)
                device()->setHoldingRegister(101, 9);
        });
        m_bench.clearRequests();
        const ConfigurationTransfer::Result result = transfer().restore(file, {});
        QCOMPARE(result.status, status);
        QVERIFY2(result.message.contains(message), qPrintable(result.message));
        const bool saveSent = m_bench.requests().contains(QStringLiteral("6@99=768"));
        QCOMPARE(saveSent, result.status == Status::SaveFailed);
    }

    void rejectedFiles_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        const QByteArray head = R"({"format":"tavrolix-configuration","version":1,)";
        const QByteArray block = R"({"table":"holding","start":102,"values":[3]})";
        QTest::newRow("not JSON") << QByteArray("[Settings]\nnode=1") << "damaged or incomplete";
        QTest::newRow("truncated") << head + R"("signature":4,"blocks":[)" << "incomplete";
        QTest::newRow("other JSON") << QByteArray(R"({"format":"x"})") << "not a Tavrolix";
        QTest::newRow("newer") << QByteArray(R"({"format":"tavrolix-configuration","version":2})")
                               << "format version 2";
        QTest::newRow("other device") << head + R"("signature":9,"blocks":[]})"
                                      << "for device type 9,";
        QTest::newRow("unknown block")
            << head + R"("signature":4,"blocks":[{"table":"holding","start":0,"values":[1]}]})"
            << "1 values at holding 0";
        QTest::newRow("too large") << head + R"("signature":4,"blocks":[)"
                                          + QByteArray(block).replace("[3]", "[65536]") + "]}"
                                   << "not a number from 0 to 65535";
        QTest::newRow("coil of 2")
            << head + R"("signature":18,"blocks":[{"table":"coils","start":0,"values":[2]}]})"
            << "coils 0 is not a number from 0 to 1";
        QTest::newRow("sound") << head + R"("signature":4,"blocks":[)" + block + "]}" << "";
    }
    void rejectedFiles()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        ConfigurationFile file;
        QString error;
        const DeviceConfiguration *described =
            PluginManager::instance()->configurationForSignature(4);
        const bool ok = file.fromJson(json, &error)
                     && file.fits(4, QStringLiteral("outputModuleDO8"),
                                  described->configurationBlocks(), &error);
        QCOMPARE(ok, message.isEmpty());
        QVERIFY2(error.contains(message), qPrintable(error));
    }

    // A save that cannot be renamed into place (a folder has the name) fails, names the
    // file and leaves no temporary file behind.
    void failedSaveLeavesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("taken.tavcfg"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.tavcfg")));
        QString error;
        QVERIFY(!ConfigurationFile().save(path, &error));
        QVERIFY2(error.contains(path), qPrintable(error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"taken.tavcfg"});
    }

    void nodeList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("nodes"); // empty: refused
        QTest::addColumn<QString>("formatted");
        QTest::newRow("ranges") << "2-4, 12,3" << QList<int>{2, 3, 4, 12} << "2-4, 12";
        QTest::newRow("ends") << "1,247" << QList<int>{1, 247} << "1, 247";
        for (const char *bad : {"0", "248", "5-3", "a", "", "2-"})
            QTest::newRow(bad) << bad << QList<int>{} << "";
    }
    void nodeList()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, nodes);
        QFETCH(QString, formatted);
        QString error;
        QCOMPARE(NodeList::parse(text, &error), nodes);
        QCOMPARE(error.isEmpty(), !nodes.isEmpty());
        QCOMPARE(NodeList::format(nodes), formatted);
    }

    // From the window: the file saved, one setting changed on the device, the file
    // restored through the comparison; the editor then shows what the device holds. A
    // refused write leaves a box and a log line, and nothing saved.
    void windowRestore_data()
    {
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QString>("result"); // the start of the last log line
        QTest::newRow("restored") << false << "Configuration restored from";
        QTest::newRow("refused") << true << "The restore stopped: Writing Input 1 ramp failed";
    }
    void windowRestore()
    {
        QFETCH(bool, refuse);
        QFETCH(QString, result);
        startDevice(factory<LedIndicatorModel>());
        m_bench.client()->disconnect();
        MainWindow *window = m_bench.openWindow();
        QVERIFY(m_bench.click(QStringLiteral("connect")));
        auto *menu = window->findChild<ConfigurationMenu *>();
        const QString path = m_dir.filePath(QStringLiteral("window.tavcfg"));
        QVERIFY(menu->saveToFile(path, QStringLiteral("pump 3")));

        device()->setHoldingRegister(28, 4321); // switch period
        QVERIFY(m_bench.click(QStringLiteral("readAll")));
        if (refuse)
            onRequest(QStringLiteral("16@11"), Fault::Exception);
        QTimer accept; // the comparison asks; the user agrees
        connect(&accept, &QTimer::timeout, this, [] {
            if (auto *dialog = qobject_cast<ConfigurationCompareDialog *>(
                    QApplication::activeModalWidget()))
                dialog->findChild<QPushButton *>(QStringLiteral("restoreButton"))->click();
        });
        accept.start(20);
        device()->clearRequests();
        QCOMPARE(menu->restoreFromFile(path), !refuse);
        QVERIFY2(logLines(window).last().startsWith(result), qPrintable(logLines(window).last()));
        QCOMPARE(device()->holdingRegister(28), quint16(refuse ? 4321 : 1000));
        QCOMPARE(m_bench.requests().contains(QStringLiteral("6@4=768")), !refuse);
        const auto *spin = m_bench.editor()->findChild<QSpinBox *>(QStringLiteral("switchPeriodSpin"));
        QCOMPARE(spin->value(), refuse ? 4321 : 1000); // read again after a restore
        QCOMPARE(m_bench.answerer()->boxes().size(), 1);
        m_bench.closeWindow();
    }

    // One file to three output modules on a line that also holds an LED indicator and
    // misses a node: each module takes it, the others are reported, none stops the rest.
    void cloneOnBus()
    {
        ConfigurationFile file;
        QVERIFY(transfer().read(&file).ok());
        file.blocks[0].values[1] = 33; // safe state timeout

        VirtualBus bus;
        QVERIFY2(bus.open(m_dir.path()), qPrintable(bus.errorString()));
        struct OnBus
        {
            DeviceSimulator simulator;
            std::unique_ptr<DeviceModel> model;
        };
        OnBus devices[4];
        for (int i = 0; i < 4; ++i) {
            const int node = 2 + i;
            if (node == 5)
                devices[i].model = std::make_unique<LedIndicatorModel>();
            else
                devices[i].model = std::make_unique<OutputModuleModel>();
            devices[i].model->attach(&devices[i].simulator);
            const QString port = bus.addDevice(node, 9600, QSerialPort::NoParity);
            QVERIFY(devices[i].simulator.start(port, node));
        }
        ModbusClient client;
        QVERIFY(client.connect(bus.clientPath(), 9600, 'N', 8, 1, 1));
        ConfigurationCloner cloner(&client, PluginManager::instance()->pluginForSignature(4),
                                   PluginManager::instance()->configurationForSignature(4));
        QSignalSpy finished(&cloner, &ConfigurationCloner::nodeFinished);
        const QList<ConfigurationCloner::NodeResult> results =
            cloner.run(file, {2, 3, 4, 5, 7}, {});
        QStringList outcomes;
        for (const ConfigurationCloner::NodeResult &r : results)
            outcomes << QStringLiteral("%1 %2 %3").arg(r.node).arg(int(r.outcome)).arg(r.detail);
        QCOMPARE(outcomes.mid(0, 3), (QStringList{"2 0 Blocks written: 1", "3 0 Blocks written: 1",
                                                   "4 0 Blocks written: 1"}));
        QCOMPARE(outcomes.value(3), QStringLiteral("5 1 The device is indicator4, not outputModuleDO8."));
        QVERIFY2(outcomes.value(4).startsWith(QStringLiteral("7 2 No answer")),
                 qPrintable(outcomes.value(4)));
        QCOMPARE(finished.size(), 5);
        QVERIFY(!ConfigurationCloner::allDone(results));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(devices[i].simulator.holdingRegister(101), quint16(33));
    }
};

QTEST_MAIN(tst_Configuration)
#include "tst_configuration.moc"
