#include "DeviceSimulator.h"
#include "FirmwareWidget.h"
#include "I18n.h"
#include "LogLines.h"
#include "MainWindow.h"
#include "MessageBoxAnswerer.h"
#include "ModbusClient.h"
#include "OutputModuleModel.h"
#include "PluginManager.h"
#include "VirtualSerialPair.h"

#include <QtTest>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <utility>

namespace {

const QString qtLicensing = QStringLiteral("https://www.qt.io/licensing/");
const QString connectionPrefix = QStringLiteral("Connection failed: ");

// Runs `action`, answering every message box it opens with OK.
QStringList answeringBoxes(QWidget *window, const std::function<void()> &action,
                           const std::function<void(QMessageBox *)> &inspect = nullptr)
{
    MessageBoxAnswerer answerer(window);
    if (inspect)
        answerer.setInspector(inspect);
    action();
    return answerer.boxes();
}

QStringList logMessages(const MainWindow &window)
{
    return logLines(&window);
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupLog();
    void restoreSettings_data();
    void restoreSettings();
    void portChoice_data();
    void portChoice();
    void userActions_data();
    void userActions();
    void aboutBox_data();
    void aboutBox();
    void firmwareDialog();

private:
    MainWindow *newWindow();
    template<typename T>
    T *child(const char *name) const
    {
        return m_window->findChild<T *>(QLatin1String(name));
    }
    ModbusClient *client() const { return m_window->findChild<ModbusClient *>(); }
    QString expand(QString text) const;
    QStringList expand(const QStringList &texts) const;
    QString panel() const;     // "button|status|colour|version"
    QString lineShown() const; // "baud parity node" as the panel shows it
    void setLine(const QString &line);
    QString lineStored() const; // "port baud parity node", empty when nothing is stored
    // Clicks "Connect"; answers the status the panel shows while the port is opened.
    QString clickConnect();

    VirtualSerialPair m_pair;
    DeviceSimulator m_device;
    OutputModuleModel m_model;
    std::unique_ptr<MainWindow> m_window;
    QString m_createdLicenseDir;
};

void tst_MainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Tavrolix Configurator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrolix"));
    I18n::instance()->setLanguage(Lang::English);

    QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
    m_model.attach(&m_device);
    QVERIFY(m_device.start(m_pair.devicePath()));
}

void tst_MainWindow::init()
{
    // The window lists the plug-ins loaded before it; the first test sees none.
    if (qstrcmp(QTest::currentTestFunction(), "startupLog") != 0
        && PluginManager::instance()->allPlugins().isEmpty()) {
        PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
    }
    QSettings().remove(QStringLiteral("connection"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
}

void tst_MainWindow::cleanup()
{
    m_window.reset();
    m_device.setServerAddress(1);
    if (!m_createdLicenseDir.isEmpty())
        QDir(m_createdLicenseDir).removeRecursively();
    m_createdLicenseDir.clear();
}

MainWindow *tst_MainWindow::newWindow()
{
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    return m_window.get();
}

QString tst_MainWindow::expand(QString text) const
{
    text.replace(QStringLiteral("<pty>"), m_pair.clientPath());
    text.replace(QStringLiteral("<system>"),
                 QSerialPortInfo::availablePorts().value(0).portName());
    if (m_window) {
        const QString error = client()->lastError();
        text.replace(QStringLiteral("<lastError>"), error);
        text.replace(QStringLiteral("<reason>"), error.startsWith(connectionPrefix)
                                                     ? error.mid(connectionPrefix.size())
                                                     : QStringLiteral("(no prefix) ") + error);
    }
    return text;
}

QStringList tst_MainWindow::expand(const QStringList &texts) const
{
    QStringList expanded;
    for (const QString &text : texts)
        expanded << expand(text);
    return expanded;
}

QString tst_MainWindow::panel() const
{
    static const QMap<QString, QString> colours{
        {QStringLiteral("color: orange; font-weight: bold;"), QStringLiteral("orange")},
        {QStringLiteral("color: blue; font-weight: bold;"), QStringLiteral("blue")},
        {QStringLiteral("color: #00b000; font-weight: bold;"), QStringLiteral("green")}};
    const auto *status = child<QLabel>("statusLabel");
    return QStringList{child<QPushButton>("connectButton")->text(), status->text(),
                       colours.value(status->styleSheet(), status->styleSheet()),
                       child<QLabel>("versionLabel")->text()}
        .join(QLatin1Char('|'));
}

QString tst_MainWindow::lineShown() const
{
    return QStringLiteral("%1 %2 %3")
        .arg(child<QComboBox>("baudCombo")->currentText(),
             QString(QChar(child<QComboBox>("parityCombo")->currentData().toInt())))
        .arg(child<QSpinBox>("nodeSpin")->value());
}

void tst_MainWindow::setLine(const QString &line)
{
    const QStringList parts = line.split(QLatin1Char(' '));
    auto *parity = child<QComboBox>("parityCombo");
    child<QComboBox>("baudCombo")->setCurrentText(parts.at(0));
    parity->setCurrentIndex(parity->findData(int(parts.at(1).at(0).unicode())));
    child<QSpinBox>("nodeSpin")->setValue(parts.at(2).toInt());
}

QString tst_MainWindow::lineStored() const
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("connection"));
    if (settings.childKeys().isEmpty())
        return QString();
    QStringList values;
    for (const char *key : {"port", "baud", "parity", "node"})
        values << settings.value(QLatin1String(key)).toString();
    return values.join(QLatin1Char(' '));
}

QString tst_MainWindow::clickConnect()
{
    auto seen = std::make_shared<QString>();
    // Runs in the one pass of events the window makes before it opens the port.
    QMetaObject::invokeMethod(
        this, [this, seen] { *seen = panel().section(QLatin1Char('|'), 1, 2); },
        Qt::QueuedConnection);
    QTest::mouseClick(child<QPushButton>("connectButton"), Qt::LeftButton);
    QCoreApplication::processEvents();
    return *seen;
}

void tst_MainWindow::startupLog()
{
    const QString title = QStringLiteral("Tavrolix Configurator v1.0");
    const QString hint = QStringLiteral("Select port and click Connect");
    QVERIFY(PluginManager::instance()->allPlugins().isEmpty());
    QCOMPARE(logMessages(*newWindow()), (QStringList{title, "No plugins found", hint}));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Tavrolix Configurator"));

    PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
    QStringList expected{title};
    for (const DevicePlugin *plugin : PluginManager::instance()->allPlugins())
        expected << QStringLiteral("Plugin loaded: ") + plugin->deviceName();
    expected << hint;
    QVERIFY(expected.contains(QStringLiteral("Plugin loaded: outputModuleDO8")));
    QCOMPARE(logMessages(*newWindow()), expected);
}

void tst_MainWindow::restoreSettings_data()
{
    QTest::addColumn<QVariant>("port"); // stored as "port" and "portName"
    QTest::addColumn<QVariant>("baud");
    QTest::addColumn<QVariant>("parity");
    QTest::addColumn<QVariant>("node");
    QTest::addColumn<QString>("portShown");
    QTest::addColumn<QString>("line");

    const QVariant none;
    QTest::newRow("nothing stored") << none << none << none << none << "<system>" << "9600 N 1";
    QTest::newRow("115200, E, 17") << none << QVariant(115200) << QVariant("E") << QVariant(17)
                                   << "<system>" << "115200 E 17";
    QTest::newRow("node above range") << none << none << none << QVariant(300) << "<system>"
                                      << "9600 N 247";
    QTest::newRow("node not a number") << none << none << none << QVariant("x") << "<system>"
                                       << "9600 N 1";
    QTest::newRow("parity empty") << none << QVariant(19200) << QVariant("") << none
                                  << "<system>" << "19200 N 1";
    QTest::newRow("parity as a word") << none << none << QVariant("Odd") << none << "<system>"
                                      << "9600 O 1";
    QTest::newRow("baud not in the list") << none << QVariant(12345) << QVariant("E") << none
                                          << "<system>" << "9600 E 1";
    QTest::newRow("typed path still there") << QVariant("<pty>") << none << none << none
                                            << "<pty>" << "9600 N 1";
    QTest::newRow("typed path gone") << QVariant("/dev/tavrolix-gone") << none << none << none
                                     << "<system>" << "9600 N 1";
    QTest::newRow("neither listed nor a path") << QVariant("ttyTAVROLIX9") << none << none
                                               << none << "<system>" << "9600 N 1";
}

void tst_MainWindow::restoreSettings()
{
    QFETCH(QVariant, port);
    QFETCH(QVariant, baud);
    QFETCH(QVariant, parity);
    QFETCH(QVariant, node);
    QFETCH(QString, portShown);
    QFETCH(QString, line);

    {
        QSettings settings;
        settings.beginGroup(QStringLiteral("connection"));
        const QVariant path = port.isValid() ? QVariant(expand(port.toString())) : port;
        const QList<std::pair<const char *, QVariant>> values{{"port", path},
                                                              {"portName", path},
                                                              {"baud", baud},
                                                              {"parity", parity},
                                                              {"node", node}};
        for (const auto &[key, value] : values) {
            if (value.isValid())
                settings.setValue(QLatin1String(key), value);
        }
    }
    newWindow();

    QCOMPARE(child<QComboBox>("portCombo")->currentText(), expand(portShown));
    QCOMPARE(lineShown(), line);
}

void tst_MainWindow::portChoice_data()
{
    QTest::addColumn<QStringList>("items"); // "name=location"
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("typed"); // null: the selected item's text stays
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("stored"); // "port|portName" after the window closed

    const QString gone = QStringLiteral("ttyGONE0=/dev/tavrolix-gone");
    const QString virt = QStringLiteral("ttyVIRT0=<pty>");
    const QStringList opened{QStringLiteral("Connecting to <pty> @ 9600 N..."),
                             QStringLiteral("Connected: outputModuleDO8")};
    const QStringList none;
    QTest::newRow("selected listed port") << QStringList{gone, virt} << 1 << QString() << opened
                                          << none << "<pty>|ttyVIRT0";
    QTest::newRow("name of another listed port")
        << QStringList{gone, virt} << 0 << "ttyVIRT0" << opened << none << "<pty>|ttyVIRT0";
    QTest::newRow("location of another listed port")
        << QStringList{gone, virt} << 0 << "<pty>" << opened << none << "<pty>|ttyVIRT0";
    QTest::newRow("path not in the list")
        << QStringList{gone} << 0 << "<pty>" << opened << none << "<pty>|<pty>";
    QTest::newRow("path, empty list") << none << -1 << "<pty>" << opened << none << "<pty>|<pty>";
    // An unplugged adapter: the port used last stays stored for its return.
    QTest::newRow("no port at all") << none << -1 << "" << none
                                    << QStringList{"Warning|Select a port|Warning"}
                                    << "/dev/ttyUSB7|ttyUSB7";
}

void tst_MainWindow::portChoice()
{
    QFETCH(QStringList, items);
    QFETCH(int, selected);
    QFETCH(QString, typed);
    QFETCH(QStringList, log);
    QFETCH(QStringList, boxes);
    QFETCH(QString, stored);

    {
        QSettings settings;
        settings.setValue(QStringLiteral("connection/port"), QStringLiteral("/dev/ttyUSB7"));
        settings.setValue(QStringLiteral("connection/portName"), QStringLiteral("ttyUSB7"));
    }
    MainWindow *window = newWindow();
    auto *portCombo = child<QComboBox>("portCombo");
    portCombo->clear();
    for (const QString &item : expand(items))
        portCombo->addItem(item.section(QLatin1Char('='), 0, 0),
                           item.section(QLatin1Char('='), 1));
    portCombo->setCurrentIndex(selected);
    if (!typed.isNull())
        portCombo->setEditText(expand(typed));
    const int linesBefore = logMessages(*window).size();

    QCOMPARE(answeringBoxes(window, [this] { clickConnect(); }), boxes);
    QCOMPARE(logMessages(*window).mid(linesBefore), expand(log));
    QCOMPARE(client()->isConnected(), !log.isEmpty());
    m_window.reset();
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("connection/port")).toString() + QLatin1Char('|')
                 + settings.value(QStringLiteral("connection/portName")).toString(),
             expand(stored));
}

void tst_MainWindow::userActions_data()
{
    QTest::addColumn<QString>("port");        // typed into the port box; it stays
    QTest::addColumn<QString>("line");        // "baud parity node" set before the clicks
    QTest::addColumn<QStringList>("clicks");  // object names of the buttons
    QTest::addColumn<QStringList>("log");     // lines added by the clicks
    QTest::addColumn<QStringList>("boxes");   // "title|text|icon"
    QTest::addColumn<QStringList>("opening"); // "status|colour" while a port opens
    QTest::addColumn<QString>("panelAfter");  // "button|status|colour|version"
    QTest::addColumn<QString>("lineAfter");
    QTest::addColumn<QString>("stored");

    const QString connect = QStringLiteral("connectButton");
    const QString connecting = QStringLiteral("Connecting to <pty> @ 9600 N...");
    const QString identified = QStringLiteral("Connected: outputModuleDO8");
    const QString defaulted =
        QStringLiteral("Connection settings reset to defaults (9600, None, Node 1)");
    const QString open = QStringLiteral("Connecting...|blue");
    const QString connected = QStringLiteral("Disconnect|Connected|green|1.3");
    const QString closed = QStringLiteral("Connect|Disconnected|orange|-");
    const QStringList none;
    const QStringList failed{QStringLiteral("Connection failed: <reason>")};
    const QStringList errorBox{QStringLiteral("Error|<lastError>|Critical")};
    const QStringList notConnected{QStringLiteral("Warning|Not connected|Warning")};
    const QString missing = QStringLiteral("/dev/tavrolix-missing");
    const QString markup = QStringLiteral("/tmp/tavrolix <i>no</i> & such");

    QTest::newRow("before any click") << "<pty>" << "9600 N 1" << none << none << none << none
                                      << closed << "9600 N 1" << "";
    QTest::newRow("connect") << "<pty>" << "9600 N 1" << QStringList{connect}
                             << QStringList{connecting, identified} << none << QStringList{open}
                             << connected << "9600 N 1" << "<pty> 9600 N 1";
    QTest::newRow("connect 19200 E 17")
        << "<pty>" << "19200 E 17" << QStringList{connect}
        << QStringList{"Connecting to <pty> @ 19200 E...", identified} << none
        << QStringList{open}
        << connected << "19200 E 17" << "<pty> 19200 E 17";
    QTest::newRow("disconnect") << "<pty>" << "9600 N 1" << QStringList{connect, connect}
                                << QStringList{connecting, identified, "Disconnected"} << none
                                << QStringList{open} << closed << "9600 N 1" << "<pty> 9600 N 1";
    QTest::newRow("reconnect") << "<pty>" << "9600 N 1" << QStringList{connect, connect, connect}
                               << QStringList{connecting, identified, "Disconnected",
                                              connecting, identified}
                               << none
                               << QStringList{open, open} << connected << "9600 N 1"
                               << "<pty> 9600 N 1";
    QTest::newRow("open fails")
        << missing << "9600 N 1" << QStringList{connect}
        << QStringList{"Connecting to " + missing + " @ 9600 N..."} + failed << errorBox
        << QStringList{open} << closed << "9600 N 1" << "";
    QTest::newRow("open fails, markup in the path")
        << markup << "9600 N 1" << QStringList{connect}
        << QStringList{"Connecting to " + markup + " @ 9600 N..."} + failed << errorBox
        << QStringList{open} << closed << "9600 N 1" << "";
    QTest::newRow("device buttons, not connected")
        << "<pty>" << "9600 N 1" << QStringList{"saveToFlashButton", "readAllButton"} << none
        << notConnected + notConnected << none << closed << "9600 N 1" << "";
    QTest::newRow("refresh keeps a typed path")
        << "<pty>" << "9600 N 1" << QStringList{"refreshButton"}
        << QStringList{"Serial ports refreshed"} << none << none << closed << "9600 N 1" << "";
    QTest::newRow("Defaults") << "<pty>" << "57600 O 9" << QStringList{"defaultsButton"}
                              << QStringList{defaulted} << none << none << closed << "9600 N 1"
                              << "";
    // The open connection keeps node 9, and nothing is stored.
    QTest::newRow("Defaults while connected")
        << "<pty>" << "57600 O 9" << QStringList{connect, "defaultsButton"}
        << QStringList{"Connecting to <pty> @ 57600 O...", identified, defaulted} << none
        << QStringList{open} << connected << "9600 N 1" << "<pty> 57600 O 9";
}

void tst_MainWindow::userActions()
{
    QFETCH(QString, port);
    QFETCH(QString, line);
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, log);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, opening);
    QFETCH(QString, panelAfter);
    QFETCH(QString, lineAfter);
    QFETCH(QString, stored);

    m_device.setServerAddress(line.section(QLatin1Char(' '), 2).toInt());
    MainWindow *window = newWindow();
    child<QComboBox>("portCombo")->setEditText(expand(port));
    setLine(line);
    const int linesBefore = logMessages(*window).size();

    QStringList shownBoxes;
    QStringList shownWhileOpening;
    for (const QString &button : clicks) {
        shownBoxes += answeringBoxes(window, [&] {
            if (button == QLatin1String("connectButton") && !client()->isConnected())
                shownWhileOpening << clickConnect();
            else
                QTest::mouseClick(window->findChild<QPushButton *>(button), Qt::LeftButton);
        });
    }

    QCOMPARE(logMessages(*window).mid(linesBefore), expand(log));
    QCOMPARE(shownBoxes, expand(boxes));
    QCOMPARE(shownWhileOpening, opening);
    QCOMPARE(panel(), panelAfter);
    const auto *stack = child<QStackedWidget>("pageStack");
    const bool inSession = panelAfter.startsWith(QLatin1String("Disconnect|"));
    QCOMPARE(stack->count(), inSession ? 2 : 1);
    QCOMPARE(stack->currentIndex(), inSession ? 1 : 0);
    QCOMPARE(child<QLabel>("deviceLabel")->text(),
             inSession ? QStringLiteral("outputModuleDO8") : QString());
    QCOMPARE(lineShown(), lineAfter);
    QCOMPARE(child<QComboBox>("portCombo")->currentText(), expand(port));
    QCOMPARE(lineStored(), expand(stored));
    QCOMPARE(client()->isConnected(), panelAfter.startsWith(QLatin1String("Disconnect|")));
    if (client()->isConnected()) {
        quint16 signature = 0;
        QVERIFY2(client()->readSignature(signature), qPrintable(client()->lastError()));
        QCOMPARE(signature, m_device.signature());
    }

    // Closing stores the panel; the next run shows it again.
    m_window.reset();
    newWindow();
    QCOMPARE(lineShown(), lineAfter);
}

void tst_MainWindow::aboutBox_data()
{
    QTest::addColumn<bool>("withLicenses");
    QTest::addColumn<QString>("version");

    QTest::newRow("no licence folder") << false << "1.0";
    QTest::newRow("licence folder") << true << "1.0";
    QTest::newRow("markup in the version") << false << "1.0 <beta> & co";
}

void tst_MainWindow::aboutBox()
{
    QFETCH(bool, withLicenses);
    QFETCH(QString, version);

    const QString licenseDir =
        QCoreApplication::applicationDirPath() + QStringLiteral("/licenses");
    QVERIFY2(!QFileInfo::exists(licenseDir), qPrintable(licenseDir + " is in the way"));
    if (withLicenses) {
        QVERIFY(QDir().mkdir(licenseDir));
        m_createdLicenseDir = licenseDir;
    }
    QCoreApplication::setApplicationVersion(version);
    MainWindow *window = newWindow();

    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QSize iconSize;
    const QStringList boxes = answeringBoxes(
        window, [this] { child<QAction>("aboutAction")->trigger(); },
        [&](QMessageBox *box) {
            text = box->text();
            format = box->textFormat();
            iconSize = box->iconPixmap().size();
        });

    QCOMPARE(boxes, QStringList{QStringLiteral("About|") + text + QStringLiteral("|NoIcon")});
    QCOMPARE(format, Qt::RichText);
    QCOMPARE(iconSize, QSize(64, 64));
    QTextDocument shown;
    shown.setHtml(text);
    const QString licenses = withLicenses ? QDir::toNativeSeparators(licenseDir)
                                          : QStringLiteral("licenses");
    QCOMPARE(shown.toPlainText(),
             QStringLiteral("Tavrolix Configurator\nVersion ") + version
                 + QStringLiteral("\n\nUniversal configurator\nfor Tavrolix devices\n\n"
                                  "This program uses Qt ")
                 + QLatin1String(qVersion())
                 + QStringLiteral(" under the GNU LGPL v3.\nLicense texts: ") + licenses
                 + QStringLiteral("\nMore information: ") + qtLicensing);

    static const QRegularExpression anchor(QStringLiteral("<a href=\"([^\"]*)\">"));
    QStringList targets;
    for (auto it = anchor.globalMatch(text); it.hasNext();)
        targets << it.next().captured(1);
    QCOMPARE(targets.size(), withLicenses ? 2 : 1);
    QCOMPARE(targets.last(), qtLicensing);
    if (withLicenses)
        QCOMPARE(QUrl(targets.first()).toLocalFile(), licenseDir);
}

// Tools > Firmware Update... opens a fresh firmware window each time, beside an open
// session that it leaves alone.
void tst_MainWindow::firmwareDialog()
{
    MainWindow *window = newWindow();
    child<QComboBox>("portCombo")->setEditText(m_pair.clientPath());
    clickConnect();
    QTRY_COMPARE(panel(), QStringLiteral("Disconnect|Connected|green|1.3"));
    const QStringList logBefore = logMessages(*window);
    const QWidget *pageBefore = child<QStackedWidget>("pageStack")->currentWidget();

    struct Seen
    {
        QString title;
        QSize minimumSize;
        QSize size;
        bool modal = false;
        QString fileLabel;
        int logLength = -1;
        bool traceLeft = false;
    };
    QList<Seen> seen;
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, this, [&seen, round] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            auto *firmware = dialog ? dialog->findChild<FirmwareWidget *>() : nullptr;
            if (!firmware)
                return;
            auto *log = firmware->findChild<QTextEdit *>(QStringLiteral("firmwareLog"));
            seen.append({dialog->windowTitle(), dialog->minimumSize(), dialog->size(),
                         dialog->isModal(),
                         firmware->findChild<QLabel *>(QStringLiteral("fileLabel"))->text(),
                         int(log->document()->toPlainText().size()), false});
            if (round == 0) {
                // Leave a trace: an upload with no port says so in the log.
                auto *ports = firmware->findChild<QComboBox *>(QStringLiteral("portCombo"));
                ports->setCurrentIndex(-1);
                ports->clearEditText();
                firmware->findChild<QPushButton *>(QStringLiteral("uploadButton"))->click();
                seen.last().traceLeft = !log->document()->isEmpty();
            }
            dialog->close();
        });
        child<QAction>("firmwareUpdateAction")->trigger();
    }

    QCOMPARE(seen.size(), 2);
    QVERIFY(seen.first().traceLeft);
    for (const Seen &dialog : std::as_const(seen)) {
        QCOMPARE(dialog.title, QStringLiteral("Firmware Update"));
        QCOMPARE(dialog.minimumSize, QSize(600, 500));
        QCOMPARE(dialog.size, QSize(650, 550));
        QVERIFY(dialog.modal);
        QCOMPARE(dialog.fileLabel, QStringLiteral("No file selected"));
        QCOMPARE(dialog.logLength, 0);
    }
    QVERIFY(!window->findChild<QDialog *>());
    QVERIFY(!window->findChild<FirmwareWidget *>());

    QCOMPARE(panel(), QStringLiteral("Disconnect|Connected|green|1.3"));
    QCOMPARE(child<QStackedWidget>("pageStack")->currentWidget(), pageBefore);
    QCOMPARE(logMessages(*window), logBefore);
    quint16 signature = 0;
    QVERIFY2(client()->readSignature(signature), qPrintable(client()->lastError()));
    QCOMPARE(signature, m_device.signature());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
