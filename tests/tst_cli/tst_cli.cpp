#include "BootloaderSimulator.h"
#include "DeviceBench.h"
#include "DeviceSimulator.h"
#include "ModbusClient.h"
#include "OutputModuleModel.h"
#include "TestApplication.h"
#include "VirtualSerialPair.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

// tavrolix-cli run as a script runs it, against an output module on a virtual line.
class tst_Cli : public QObject
{
    Q_OBJECT

    DeviceBench m_bench;
    QTemporaryDir m_dir;

    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    // "PORT" and "DIR" in `arguments` stand for the device's line and the test folder.
    // `whileRunning` gets the process once its standard error shows `cue`.
    Run cli(QStringList arguments, const QString &port,
            const std::function<void(QProcess &)> &whileRunning = {},
            const QByteArray &cue = {})
    {
        arguments.replaceInStrings(QStringLiteral("PORT"), port);
        arguments.replaceInStrings(QStringLiteral("DIR"), m_dir.path());
        QProcess process;
        QByteArray err;
        connect(&process, &QProcess::readyReadStandardError, this, [&] {
            err += process.readAllStandardError();
            if (whileRunning && !cue.isEmpty() && err.contains(cue)) {
                whileRunning(process);
                const_cast<QByteArray &>(cue).clear();
            }
        });
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(QStringLiteral(TAVROLIX_CLI), arguments);
        if (!finished.wait(60000))
            process.kill();
        err += process.readAllStandardError();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), err};
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_bench.open(), qPrintable(m_bench.errorString()));
    }
    void init()
    {
        QVERIFY2(m_bench.start(std::make_unique<OutputModuleModel>()),
                 qPrintable(m_bench.errorString()));
    }

    // Every command's usage and failures end with their exit code and one line saying why.
    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // contained in standard output
        QTest::addColumn<QString>("err"); // contained in standard error
        using L = QStringList;
        QTest::newRow("identify") << L{"identify", "--port", "PORT", "--json"} << 0
                                  << R"("device":"outputModuleDO8","node":1,"parity":"N")" << "";
        QTest::newRow("trace") << L{"identify", "--port", "PORT", "--trace"} << 0
                               << "outputModuleDO8 (signature 4)"
                               << "node 1  04 Read Input Registers  0+1  -> 4  ";
        QTest::newRow("no answer") << L{"identify", "--port", "PORT", "--node", "9"} << 4 << ""
                                   << "No answer from node 9";
        QTest::newRow("no port") << L{"identify", "--port", "DIR/none"} << 3 << ""
                                 << "No such file";
        QTest::newRow("bad baud") << L{"identify", "--port", "PORT", "--baud", "1234"} << 2 << ""
                                  << "--baud 1234 is not one of";
        QTest::newRow("bad node") << L{"backup", "DIR/x", "--port", "PORT", "--node", "248"} << 2
                                  << "" << "--node must be from 1 to 247";
        QTest::newRow("no port given") << L{"identify"} << 2 << "" << "--port is required";
        QTest::newRow("no command") << L{} << 2 << "" << "Usage: tavrolix-cli COMMAND";
        QTest::newRow("unknown command") << L{"flush"} << 2 << "" << "Unknown command";
        QTest::newRow("help") << L{"scan", "--help"} << 0 << "--allowance" << "";
        QTest::newRow("version") << L{"--version"} << 0 << "tavrolix-cli " TAVROLIX_VERSION << "";
        QTest::newRow("scan") << L{"scan", "--port", "PORT", "--nodes", "1-3", "--json"} << 0
                              << R"("node":1,"parity":"N","replyMs":)" << "Found node 1";
        QTest::newRow("scan, none") << L{"scan", "--port", "PORT", "--nodes", "2-3"} << 1
                                    << "No device answered." << "";
        QTest::newRow("bad nodes") << L{"clone", "DIR/x", "--port", "PORT", "--nodes", "0-3"} << 2
                                   << "" << "--nodes: Nodes go from 1 to 247";
        QTest::newRow("missing file") << L{"compare", "DIR/none", "--port", "PORT"} << 2 << ""
                                      << "Could not read";
        QTest::newRow("file of another type")
            << L{"restore", "DIR/ind4.tavcfg", "--port", "PORT"} << 4 << ""
            << "The file is for device type 9, not for the outputModuleDO8.";
        QTest::newRow("image checksum fails") << L{"flash", "DIR/bad.enc", "--port", "PORT"} << 2
                                              << "" << "nothing was uploaded";
        QTest::newRow("plugins") << L{"plugins"} << 0 << "outputModuleDO8   8 relay" << "";
    }
    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFile ind4(m_dir.filePath(QStringLiteral("ind4.tavcfg")));
        QVERIFY(ind4.open(QIODevice::WriteOnly));
        ind4.write(R"({"format":"tavrolix-configuration","version":1,"signature":9,"blocks":[]})");
        ind4.close();
        QFile bad(m_dir.filePath(QStringLiteral("bad.enc")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(":0400000001020304F2\n#CRC32:00000000\n");
        bad.close();
        m_bench.clearRequests();

        const Run run = cli(arguments, m_bench.clientPath());
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.out.contains(out.toUtf8()), run.out.constData());
        QVERIFY2(run.err.contains(err.toUtf8()), run.err.constData());
        if (exitCode == 2) // nothing went to the device
            QCOMPARE(m_bench.requests(), QStringList());
    }

    // backup, a setting changed, compare finds it, restore to the device, compare finds
    // nothing; clone to a node that answers and one that does not.
    void backupCompareRestore()
    {
        const QString port = m_bench.clientPath();
        QCOMPARE(cli({"backup", "DIR/do8.tavcfg", "--port", "PORT"}, port).exitCode, 0);
        m_bench.device()->setHoldingRegister(101, 44);
        Run run = cli({"compare", "DIR/do8.tavcfg", "--port", "PORT", "--json"}, port);
        QCOMPARE(run.exitCode, 1);
        const QJsonArray differences =
            QJsonDocument::fromJson(run.out).object().value("differences").toArray();
        QCOMPARE(differences.size(), 1);
        QCOMPARE(differences.at(0).toObject().value("field").toString(), "Safe state timeout");
        QCOMPARE(differences.at(0).toObject().value("device").toString(), "44");
        run = cli({"restore", "DIR/do8.tavcfg", "--port", "PORT", "--no-save", "--json"}, port);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(run.out).object().value("saved").toBool(true), false);
        QVERIFY(!m_bench.requests().contains(QStringLiteral("6@99=768")));
        QCOMPARE(cli({"compare", "DIR/do8.tavcfg", "--port", "PORT"}, port).exitCode, 0);
        run = cli({"clone", "DIR/do8.tavcfg", "--port", "PORT", "--nodes", "1,2"}, port);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.out.contains("node 1: done") && run.out.contains("node 2: failed (No answer"),
                 run.out.constData());
    }

    // The upload: Ctrl+C during it ends it with the exit command sent and exit code 5;
    // with verification, the application that starts after the exit command is asked
    // who it is.
    void flash_data()
    {
        QTest::addColumn<bool>("interrupt");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("Ctrl+C") << true << 5;
        QTest::newRow("verified") << false << 0;
    }
    void flash()
    {
        QFETCH(bool, interrupt);
        m_bench.stop();
        VirtualSerialPair pair;
        QVERIFY2(pair.open(), qPrintable(pair.errorString()));
        BootloaderSimulator bootloader;
        bootloader.setLineTiming(interrupt); // slow enough to be interrupted
        QVERIFY(bootloader.start(pair.devicePath()));
        QSignalSpy exits(&bootloader, &BootloaderSimulator::exitCommandReceived);
        DeviceSimulator application;
        OutputModuleModel model;
        connect(&bootloader, &BootloaderSimulator::exitCommandReceived, &bootloader, [&] {
            QTimer::singleShot(100, &bootloader, [&] { // the reply to the exit command first
                bootloader.stop();
                model.attach(&application);
                application.start(pair.devicePath());
            });
        });
        QStringList arguments = {"flash", SAMPLE_IMAGE, "--port", "PORT", "--json"};
        if (!interrupt)
            arguments << "--verify-node" << "1";
        const Run run = cli(
            arguments, pair.clientPath(),
            [](QProcess &process) { ::kill(pid_t(process.processId()), SIGINT); },
            interrupt ? QByteArray("%") : QByteArray());
        QVERIFY2(exits.size() == 1, run.err.constData());
        QCOMPARE(run.exitCode, interrupt ? 5 : 0);
        if (!interrupt) {
            const QJsonObject answer = QJsonDocument::fromJson(run.out).object();
            QCOMPARE(answer.value("signature").toInt(), 4);
            QCOMPARE(answer.value("device").toString(), "outputModuleDO8");
        }
    }
};

QTEST_MAIN(tst_Cli)
#include "tst_cli.moc"
