#include "DevicePlugin.h"
#include "PluginManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr quint16 kSigA = FAKE_A_SIGNATURE;
constexpr quint16 kSigB = FAKE_B_SIGNATURE;
// Copied by the first letter of the name: 'a'/'b' fake device A/B, 'o' a plug-in of
// another interface, 'r' a text file.
const QHash<char, QString> kSources = {
    {'a', FAKE_A_FILE}, {'b', FAKE_B_FILE}, {'o', FAKE_OTHER_FILE}, {'r', __FILE__}};
QStringList g_messages;

QStringList listed(const QString &dir) // in the file system's order, as the manager reads it
{
    return QDir(dir).entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Unsorted);
}

} // namespace

class tst_PluginManager : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_scratch;
    int m_retired = 0;
    QString m_first, m_second;

    bool makeFolder(const QString &dir, const QStringList &files)
    {
        bool ok = files.isEmpty() || QDir().mkpath(dir);
        for (const QString &file : files)
            ok = ok && QFile::copy(kSources.value(file[0].toLatin1()), dir + '/' + file);
        return ok;
    }

private slots:
    void initTestCase()
    {
        const QString appDir = QCoreApplication::applicationDirPath();
        m_first = appDir + QStringLiteral("/plugins");
        m_second = QDir::cleanPath(appDir + QStringLiteral("/../plugins"));
        QDir(m_first).removeRecursively(); // left behind by an interrupted run
        QDir(m_second).removeRecursively();
        // Loaded files are kept until the process ends: a deleted file's inode may come back
        // for the next copy, and the dynamic linker would hand back the old library.
        m_scratch = std::make_unique<QTemporaryDir>(appDir + QStringLiteral("/../pm-XXXXXX"));
        QVERIFY(m_scratch->isValid());
    }
    void init()
    {
        g_messages.clear();
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            const char *const levels[] = {"debug", "warning", "critical", "fatal", "info"};
            g_messages << levels[type] + QStringLiteral(": ") + text;
        });
    }
    void cleanup()
    {
        qInstallMessageHandler(nullptr);
        for (const QString &dir : {m_first, m_second}) {
            if (QFileInfo::exists(dir))
                QVERIFY(QDir().rename(dir, m_scratch->filePath(QString::number(++m_retired))));
        }
    }

    void loadPlugins_data()
    {
        QTest::addColumn<QStringList>("first");  // in <program folder>/plugins
        QTest::addColumn<QStringList>("second"); // in <program folder>/../plugins
        QTest::newRow("mixed") << QStringList{"b.so", "other.so", "readme.so", "a.so", "a.so.off"}
                               << QStringList{};
        QTest::newRow("twins") << QStringList{"a1.so", "b.so", "a2.so"} << QStringList{};
        QTest::newRow("../plugins only") << QStringList{} << QStringList{"a.so"};
        QTest::newRow("both") << QStringList{"a.so"} << QStringList{"b.so", "a.so"};
    }
    void loadPlugins()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QVERIFY(makeFolder(m_first, first) && makeFolder(m_second, second));
        // Of the files sharing a signature, the first found wins, whatever its name; loading
        // a second time only repeats the warnings.
        QMap<quint16, QString> winners;
        QStringList expected;
        for (const QString &dir : {m_first, m_second, m_first, m_second}) {
            for (const QString &file : listed(dir)) {
                const char kind = file[0].toLatin1();
                const quint16 sig = kind == 'a' ? kSigA : kSigB;
                QPluginLoader loader(dir + '/' + file);
                if (kind == 'r' && !loader.load()) {
                    expected << QStringLiteral("warning: Failed to load plugin \"%1\" : \"%2\"")
                                    .arg(file, loader.errorString());
                } else if (kind == 'o') {
                    continue;
                } else if (winners.contains(sig)) {
                    expected << QStringLiteral("warning: Duplicate signature %1 from \"%2\"")
                                    .arg(sig).arg(file);
                } else {
                    expected << QStringLiteral("debug: Loaded plugin: \"fake_%1\" signature: %2")
                                    .arg(kind).arg(sig)
                             << QStringLiteral("debug: Plugin \"fake_%1\" offers no "
                                               "configuration file support").arg(kind);
                    winners.insert(sig, loader.fileName());
                }
            }
        }
        PluginManager manager;
        QSignalSpy spy(&manager, &PluginManager::pluginLoaded);
        manager.loadPlugins();
        manager.loadPlugins();
        QCOMPARE(g_messages, expected);
        QCOMPARE(manager.supportedSignatures(), winners.keys()); // ascending
        QCOMPARE(spy.count(), winners.size());
        for (int i = 0; i < winners.size(); ++i) {
            QPluginLoader winner(winners.values().at(i)); // one root object per file
            auto *plugin = qobject_cast<DevicePlugin *>(winner.instance());
            QCOMPARE(manager.allPlugins().at(i), plugin);
            QCOMPARE(manager.pluginForSignature(winners.keys().at(i)), plugin);
            QVERIFY(manager.allPlugins().contains(spy.at(i).at(0).value<DevicePlugin *>()));
        }
        QVERIFY(!manager.pluginForSignature(kSigA & 0xFF));
        QVERIFY(!manager.configurationForSignature(kSigA)); // the fakes still load and work
    }

    // Every device plug-in the build makes loads from its folder, without a warning, and
    // describes its device's stored settings.
    void productPlugins()
    {
        const QStringList built = QStringLiteral(TAVROLIX_DEVICE_PLUGINS).split(',');
        PluginManager manager;
        manager.loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
        QCOMPARE(g_messages.filter(QStringLiteral("warning: ")), QStringList());
        QCOMPARE(manager.allPlugins().size(), built.size());
        for (quint16 signature : manager.supportedSignatures())
            QVERIFY2(manager.configurationForSignature(signature), qPrintable(QString::number(signature)));
    }
};

QTEST_GUILESS_MAIN(tst_PluginManager)
#include "tst_pluginmanager.moc"
