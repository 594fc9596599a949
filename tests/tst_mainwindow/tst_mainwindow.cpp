#include "LogLines.h"
#include "MainWindow.h"
#include "MessageBoxAnswerer.h"
#include "PluginManager.h"
#include "TestApplication.h"

#include <QSerialPortInfo>
#include <QtTest>
#include <QtWidgets>

#include <memory>

// The window's frame: its start-up log, the settings it restores and the about box.
// What it does with a device is the session test's.
class tst_MainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindow> m_window;

    MainWindow *newWindow()
    {
        m_window.reset(); // the old window stores its settings first
        m_window = std::make_unique<MainWindow>();
        m_window->show();
        return m_window.get();
    }
    QString log() const { return logLines(m_window.get()).join('\n'); }
    QString shown() const // "port|baud parity node"
    {
        const auto combo = [this](const char *name) {
            return m_window->findChild<QComboBox *>(QLatin1String(name));
        };
        return combo("portCombo")->currentText() + '|' + combo("baudCombo")->currentText() + ' '
               + QChar(combo("parityCombo")->currentData().toInt()) + ' '
               + QString::number(m_window->findChild<QSpinBox *>("nodeSpin")->value());
    }

private slots:
    void initTestCase() { prepareTestApplication(); }
    void init()
    {
        QSettings().remove(QStringLiteral("connection"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    }
    void cleanup() { m_window.reset(); }

    // First of all: the window lists the plug-ins loaded before it, none yet.
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
    void restoreSettings_data()
    {
        QTest::addColumn<QStringList>("stored"); // port, baud, parity, node
        QTest::addColumn<QString>("shown");
        QTest::newRow("typed path, values out of range")
            << QStringList{"/dev/null", "123", "Odd", "300"} << "/dev/null|9600 O 247";
        QTest::newRow("port gone") << QStringList{"/dev/tavrolix-gone"}
                                   << QSerialPortInfo::availablePorts().value(0).portName()
                                          + "|9600 N 1";
    }
    void restoreSettings()
    {
        QFETCH(QStringList, stored);
        const QStringList keys{"port", "baud", "parity", "node"};
        QSettings settings;
        for (int i = 0; i < stored.size(); ++i)
            settings.setValue("connection/" + keys[i], stored[i]);
        newWindow();
        QTEST(shown(), "shown");
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
        m_window->findChild<QAction *>("aboutAction")->trigger();

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
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
