#include "DeviceSimulator.h"
#include "LogLines.h"
#include "MainWindow.h"
#include "MessageBoxAnswerer.h"
#include "ModbusClient.h"
#include "OutputModuleModel.h"
#include "PluginManager.h"
#include "TestApplication.h"
#include "VirtualSerialPair.h"

#include <QSerialPortInfo>
#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {
const QString identified = QStringLiteral("Connected: outputModuleDO8");
const QString inSession = QStringLiteral("Disconnect|Connected|#00b000|1.3");
} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

    VirtualSerialPair m_pair;
    DeviceSimulator m_device;
    OutputModuleModel m_model;
    std::unique_ptr<MainWindow> m_window;

    MainWindow *newWindow()
    {
        m_window.reset(); // the old window stores its settings first
        m_window = std::make_unique<MainWindow>();
        m_window->show();
        return m_window.get();
    }
    template<typename T>
    T *child(const char *name) const { return m_window->findChild<T *>(QLatin1String(name)); }
    ModbusClient *client() const { return m_window->findChild<ModbusClient *>(); }
    // The log's messages from line `from` on, one a line.
    QString log(int from = 0) const { return logLines(m_window.get()).mid(from).join('\n'); }
    // Fills in <pty>, <lastError> and <reason> (the last error after its prefix).
    QString expand(QString text) const
    {
        const QString error = m_window ? client()->lastError() : QString();
        return text.replace("<pty>", m_pair.clientPath())
            .replace("<lastError>", error)
            .replace("<reason>", error.section(QStringLiteral("Connection failed: "), 1));
    }
    QString panel() const // "button|status|colour|version"
    {
        const auto *status = child<QLabel>("statusLabel");
        return QStringList{child<QPushButton>("connectButton")->text(), status->text(),
                           status->styleSheet().section(';', 0, 0).section(' ', 1),
                           child<QLabel>("versionLabel")->text()}
            .join('|');
    }
    QString lineShown() const // "baud parity node"
    {
        return child<QComboBox>("baudCombo")->currentText() + ' '
               + QChar(child<QComboBox>("parityCombo")->currentData().toInt()) + ' '
               + QString::number(child<QSpinBox>("nodeSpin")->value());
    }
    QString clickConnect() // answers the "status|colour" shown while the port opens
    {
        auto seen = std::make_shared<QString>();
        // Runs in the one pass of events the window makes before it opens the port.
        QMetaObject::invokeMethod(
            this, [this, seen] { *seen = panel().section('|', 1, 2); }, Qt::QueuedConnection);
        QTest::mouseClick(child<QPushButton>("connectButton"), Qt::LeftButton);
        QCoreApplication::processEvents();
        return *seen;
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
        m_model.attach(&m_device);
        QVERIFY(m_device.start(m_pair.devicePath()));
    }
    void init()
    {
        // The window lists the plug-ins loaded before it; the first test sees none.
        if (qstrcmp(QTest::currentTestFunction(), "startupLog") != 0
            && PluginManager::instance()->allPlugins().isEmpty())
            PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
        QSettings().remove(QStringLiteral("connection"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    }
    void cleanup()
    {
        m_window.reset();
        m_device.setServerAddress(1);
    }

    void startupLog()
    {
        const QString title = QStringLiteral("Tavrolix Configurator v1.0");
        const QString hint = QStringLiteral("Select port and click Connect");
        newWindow();
        QCOMPARE(log(), title + "\nNo plugins found\n" + hint);

        PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
        QStringList expected{title};
        for (const DevicePlugin *plugin : PluginManager::instance()->allPlugins())
            expected << "Plugin loaded: " + plugin->deviceName();
        QVERIFY(expected.contains("Plugin loaded: outputModuleDO8"));
        newWindow();
        QCOMPARE(log(), (expected << hint).join('\n'));
    }

    // Stored settings come back; what cannot be used gives way to the defaults.
    void restoreSettings()
    {
        QSettings settings;
        settings.setValue("connection/port", m_pair.clientPath()); // a typed path
        settings.setValue("connection/baud", 123);
        settings.setValue("connection/parity", "Odd");
        settings.setValue("connection/node", 300);
        newWindow();
        QCOMPARE(child<QComboBox>("portCombo")->currentText(), m_pair.clientPath());
        QCOMPARE(lineShown(), "9600 O 247");
        m_window.reset();
        settings.remove("connection");
        settings.setValue("connection/port", "/dev/tavrolix-gone");
        newWindow();
        QCOMPARE(child<QComboBox>("portCombo")->currentText(),
                 QSerialPortInfo::availablePorts().value(0).portName());
        QCOMPARE(lineShown(), "9600 N 1");
    }

    void userActions_data()
    {
        QTest::addColumn<QString>("port"); // typed into the port box; it stays
        QTest::addColumn<QString>("line"); // "baud parity node" set before the clicks
        QTest::addColumn<QStringList>("clicks"); // object names of the buttons
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QStringList>("boxes"); // "title|text|icon"
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("stored"); // "port|portName" once the window closed

        const QString pty = QStringLiteral("<pty>"), connect = QStringLiteral("connectButton");
        const QString connecting = QStringLiteral("Connecting to <pty> @ 9600 N...");
        const QString markup = QStringLiteral("/tmp/tavrolix <i>no</i> & such");
        const QStringList none;
        QTest::newRow("connect by name") << "ttyVIRT0" << "19200 E 17" << QStringList{connect}
                                         << QStringList{"Connecting to <pty> @ 19200 E...",
                                                        identified}
                                         << none << true << "<pty>|ttyVIRT0";
        QTest::newRow("disconnect, refresh, reconnect")
            << pty << "9600 N 1" << QStringList{connect, connect, "refreshButton", connect}
            << QStringList{connecting, identified, "Disconnected", "Serial ports refreshed",
                           connecting, identified}
            << none << true << "<pty>|<pty>";
        QTest::newRow("open fails") << markup << "9600 N 1" << QStringList{connect}
                                    << QStringList{"Connecting to " + markup + " @ 9600 N...",
                                                   "Connection failed: <reason>"}
                                    << QStringList{"Error|<lastError>|Critical"} << false
                                    << markup + '|' + markup;
        // An unplugged adapter: the port used last stays stored for its return.
        QTest::newRow("no port") << "" << "9600 N 1" << QStringList{connect} << none
                                 << QStringList{"Warning|Select a port|Warning"} << false
                                 << "/dev/ttyUSB7|ttyUSB7";
        // The open connection keeps node 9; the panel shows the defaults.
        QTest::newRow("Defaults while connected")
            << pty << "57600 O 9" << QStringList{connect, "defaultsButton"}
            << QStringList{"Connecting to <pty> @ 57600 O...", identified,
                           "Connection settings reset to defaults (9600, None, Node 1)"}
            << none << true << "<pty>|ttyVIRT0";
    }
    void userActions()
    {
        QFETCH(QString, port);
        QFETCH(QString, line);
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, logged);
        QFETCH(QStringList, boxes);
        QFETCH(bool, connected);
        QFETCH(QString, stored);
        const QStringList keys{"port", "portName", "baud", "parity", "node"};
        const QStringList values = QStringList{"/dev/ttyUSB7", "ttyUSB7"} + line.split(' ');
        QSettings settings; // stored: the line, and a port that is gone now
        for (int i = 0; i < keys.size(); ++i)
            settings.setValue("connection/" + keys[i], values[i]);
        m_device.setServerAddress(values.last().toInt());
        newWindow();
        auto *ports = child<QComboBox>("portCombo");
        ports->clear();
        if (!port.isEmpty())
            ports->addItem("ttyVIRT0", m_pair.clientPath());
        ports->setEditText(expand(port));
        const int linesBefore = logLines(m_window.get()).size();

        MessageBoxAnswerer answerer(m_window.get());
        for (const QString &button : std::as_const(clicks)) {
            if (button == "connectButton" && !client()->isConnected())
                QCOMPARE(clickConnect(),
                         port.isEmpty() ? "Disconnected|orange" : "Connecting...|blue");
            else
                QTest::mouseClick(child<QPushButton>(qPrintable(button)), Qt::LeftButton);
        }
        QCOMPARE(log(linesBefore), expand(logged.join('\n')));
        QCOMPARE(answerer.boxes().join('\n'), expand(boxes.join('\n')));
        QCOMPARE(panel(), connected ? inSession : QStringLiteral("Connect|Disconnected|orange|-"));
        quint16 signature = 0; // the device answers at the node the connection was made with
        QCOMPARE(client()->isConnected() && client()->readSignature(signature), connected);
        QCOMPARE(lineShown(), clicks.contains("defaultsButton") ? "9600 N 1" : line);
        QCOMPARE(ports->currentText(), expand(port));
        m_window.reset(); // closing stores the port
        QCOMPARE(settings.value("connection/port").toString() + '|'
                     + settings.value("connection/portName").toString(),
                 expand(stored));
    }

    // A licence folder beside the program is linked; markup in the version stays text.
    void aboutBox()
    {
        const QString licenses = QCoreApplication::applicationDirPath() + "/licenses";
        QVERIFY2(QDir().mkdir(licenses), qPrintable(licenses + " is in the way"));
        const auto removeLicenses = qScopeGuard([&] { QDir(licenses).removeRecursively(); });
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0 <beta> & co"));
        MessageBoxAnswerer answerer(newWindow());
        QString text;
        answerer.setInspector([&](QMessageBox *box) {
            text = box->textFormat() == Qt::RichText ? box->text() : "(not rich text)";
        });
        child<QAction>("aboutAction")->trigger();

        QCOMPARE(answerer.boxes(), QStringList{"About|" + text + "|NoIcon"});
        const QString qtLicensing = QStringLiteral("https://www.qt.io/licensing/");
        QCOMPARE(QTextDocumentFragment::fromHtml(text).toPlainText(),
                 "Tavrolix Configurator\nVersion 1.0 <beta> & co\n\nUniversal configurator\n"
                 "for Tavrolix devices\n\nThis program uses Qt " + QString(qVersion())
                     + " under the GNU LGPL v3.\nLicense texts: " + licenses
                     + "\nMore information: " + qtLicensing);
        for (const QString &target : {QUrl::fromLocalFile(licenses).toString(), qtLicensing})
            QVERIFY2(text.contains("<a href=\"" + target + "\">"), qPrintable(target));
    }

    // Tools > Firmware Update... opens a fresh firmware window each time, beside an open
    // session that it leaves alone.
    void firmwareDialog()
    {
        newWindow();
        child<QComboBox>("portCombo")->setEditText(m_pair.clientPath());
        clickConnect();
        QCOMPARE(panel(), inSession);
        const QString logBefore = log();
        QStringList seen;
        for (int round = 0; round < 2; ++round) {
            QTimer::singleShot(0, this, [&seen] {
                auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                if (!dialog)
                    return;
                auto *fwLog = dialog->findChild<QTextEdit *>("firmwareLog");
                const QSize min = dialog->minimumSize(), size = dialog->size();
                seen << QStringLiteral("%1 %2x%3 %4x%5 %6")
                            .arg(dialog->windowTitle())
                            .arg(min.width()).arg(min.height()).arg(size.width()).arg(size.height())
                            .arg(fwLog && fwLog->toPlainText().isEmpty() ? "fresh" : "used");
                if (fwLog)
                    fwLog->append(QStringLiteral("left from an earlier upload"));
                dialog->close();
            });
            child<QAction>("firmwareUpdateAction")->trigger();
        }
        QCOMPARE(seen, QStringList(2, "Firmware Update 600x500 650x550 fresh"));
        QCOMPARE(panel(), inSession);
        QCOMPARE(log(), logBefore);
        quint16 signature = 0;
        QVERIFY2(client()->readSignature(signature), qPrintable(client()->lastError()));
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
