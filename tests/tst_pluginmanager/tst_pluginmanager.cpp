#include "DevicePlugin.h"
#include "PluginManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPluginLoader>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

enum class CastAnswer { DevicePart, Itself, Nothing };

constexpr quint16 kValidSignature = FAKE_VALID_SIGNATURE;
constexpr quint16 kTwinSignature = FAKE_TWIN_SIGNATURE;

const QString kValid = QStringLiteral(FAKE_VALID_FILE);
const QString kTwinA = QStringLiteral(FAKE_TWIN_A_FILE);
const QString kTwinB = QStringLiteral(FAKE_TWIN_B_FILE);
const QString kOther = QStringLiteral(FAKE_OTHER_FILE);
// Carries the suffix of a plug-in file but holds text: readme.so on Linux.
const QString kReadme = QStringLiteral("readme.") + QFileInfo(kValid).suffix();

struct FakeDevice
{
    QString name;
    quint16 signature;
};

const QHash<QString, FakeDevice> kFakeDevices = {
    {kValid, {QStringLiteral("fake_valid"), kValidSignature}},
    {kTwinA, {QStringLiteral("fake_twin_a"), kTwinSignature}},
    {kTwinB, {QStringLiteral("fake_twin_b"), kTwinSignature}},
};

const QHash<quint16, QString> kDeviceNames = {
    {2, QStringLiteral("analogModule8")},   {3, QStringLiteral("inputModule40")},
    {4, QStringLiteral("outputModuleDO8")}, {5, QStringLiteral("gsmmodem")},
    {9, QStringLiteral("indicator4")},      {18, QStringLiteral("columnIndicator")},
    {24, QStringLiteral("voltmeter")},
};

QStringList g_messages;

void captureMessage(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    const QString level = type == QtDebugMsg     ? QStringLiteral("debug: ")
                          : type == QtWarningMsg ? QStringLiteral("warning: ")
                                                 : QStringLiteral("other: ");
    g_messages.append(level + text);
}

QString loadedLine(const QString &name, quint16 signature)
{
    return QStringLiteral("debug: Loaded plugin: \"%1\" signature: %2").arg(name).arg(signature);
}

QString duplicateLine(quint16 signature, const QString &fileName)
{
    return QStringLiteral("warning: Duplicate signature %1 from \"%2\"")
        .arg(signature)
        .arg(fileName);
}

QStringList listedInFileSystemOrder(const QString &path)
{
    const QString pattern = QStringLiteral("*.") + QFileInfo(kValid).suffix();
    return QDir(path).entryList({pattern}, QDir::Files, QDir::Unsorted);
}

// The loader hands every caller the one root object of a file.
QObject *rootObject(const QString &path)
{
    return QPluginLoader(path).instance();
}

DevicePlugin *rootPlugin(const QString &path)
{
    return qobject_cast<DevicePlugin *>(rootObject(path));
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QList<DevicePlugin *> emitted(const QSignalSpy &spy)
{
    QList<DevicePlugin *> plugins;
    for (const QList<QVariant> &arguments : spy)
        plugins.append(arguments.at(0).value<DevicePlugin *>());
    return plugins;
}

} // namespace

Q_DECLARE_METATYPE(CastAnswer)

class tst_PluginManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void folderContents_data();
    void folderContents();
    void rootObjectCasts_data();
    void rootObjectCasts();
    void duplicates_data();
    void duplicates();
    void candidateFolders_data();
    void candidateFolders();
    void instanceStartsEmpty();
    void devicePluginFile_data();
    void devicePluginFile();
    void devicePluginFolder();

private:
    QString makeFolder(const QString &path, const QStringList &files);
    QString makeScratchFolder(const QStringList &files);
    void retire(const QString &path);

    std::unique_ptr<QTemporaryDir> m_scratch;
    int m_folderCount = 0;
    QString m_firstCandidate;
    QString m_secondCandidate;
    QtMessageHandler m_previousHandler = nullptr;
};

void tst_PluginManager::initTestCase()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    m_firstCandidate = appDir + QStringLiteral("/plugins");
    m_secondCandidate = QDir::cleanPath(appDir + QStringLiteral("/../plugins"));
    // Only this test creates these folders; an interrupted run may have left them behind.
    QDir(m_firstCandidate).removeRecursively();
    QDir(m_secondCandidate).removeRecursively();

    // Loaded files are never deleted before the process ends: a deleted file's inode can be
    // reused by the next copy, and the dynamic linker would then hand back the old library.
    // The scratch folder sits in the build tree so the candidate folders can be moved into it.
    m_scratch = std::make_unique<QTemporaryDir>(appDir + QStringLiteral("/../pm-scratch-XXXXXX"));
    QVERIFY2(m_scratch->isValid(), qPrintable(m_scratch->errorString()));
}

void tst_PluginManager::init()
{
    g_messages.clear();
    m_previousHandler = qInstallMessageHandler(captureMessage);
}

void tst_PluginManager::cleanup()
{
    qInstallMessageHandler(m_previousHandler);
    retire(m_firstCandidate);
    retire(m_secondCandidate);
}

QString tst_PluginManager::makeFolder(const QString &path, const QStringList &files)
{
    if (!QDir().mkpath(path))
        return QString();
    for (const QString &file : files) {
        const QString target = QDir(path).filePath(file);
        if (file == kReadme) {
            QFile text(target);
            if (!text.open(QIODevice::WriteOnly) || text.write("Plug-in notes\n") < 0)
                return QString();
        } else if (!QFile::copy(QDir(QStringLiteral(FAKE_PLUGIN_DIR)).filePath(file), target)) {
            return QString();
        }
    }
    return path;
}

QString tst_PluginManager::makeScratchFolder(const QStringList &files)
{
    return makeFolder(m_scratch->filePath(QString::number(++m_folderCount)), files);
}

void tst_PluginManager::retire(const QString &path)
{
    if (QFileInfo::exists(path))
        QVERIFY(QDir().rename(path, m_scratch->filePath(QString::number(++m_folderCount))));
}

void tst_PluginManager::folderContents_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<quint16>>("signatures");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("readmeFails");

    QTest::newRow("device plug-in") << QStringList{kValid} << QList<quint16>{kValidSignature}
                                    << QStringList{QStringLiteral("fake_valid")} << false;
    QTest::newRow("no library") << QStringList{kReadme} << QList<quint16>{} << QStringList{}
                                << true;
    QTest::newRow("other kind of plug-in")
        << QStringList{kOther} << QList<quint16>{} << QStringList{} << false;
    QTest::newRow("empty folder") << QStringList{} << QList<quint16>{} << QStringList{} << false;
    QTest::newRow("mixed folder")
        << QStringList{kTwinA, kOther, kReadme, kValid}
        << QList<quint16>{kValidSignature, kTwinSignature}
        << QStringList{QStringLiteral("fake_valid"), QStringLiteral("fake_twin_a")} << true;
}

void tst_PluginManager::folderContents()
{
    QFETCH(QStringList, files);
    QFETCH(QList<quint16>, signatures);
    QFETCH(QStringList, names);
    QFETCH(bool, readmeFails);

    const QString folder = makeScratchFolder(files);
    QVERIFY(!folder.isEmpty());
    PluginManager manager;
    QSignalSpy loaded(&manager, &PluginManager::pluginLoaded);

    manager.loadPluginsFromDir(folder);

    QCOMPARE(manager.supportedSignatures(), signatures);
    const QList<DevicePlugin *> plugins = manager.allPlugins();
    QCOMPARE(plugins.size(), signatures.size());
    QStringList expectedMessages;
    for (int i = 0; i < plugins.size(); ++i) {
        QCOMPARE(plugins.at(i), manager.pluginForSignature(signatures.at(i)));
        QCOMPARE(plugins.at(i)->signature(), signatures.at(i));
        QCOMPARE(plugins.at(i)->deviceName(), names.at(i));
        expectedMessages.append(loadedLine(names.at(i), signatures.at(i)));
    }
    QVERIFY(!manager.pluginForSignature(7));
    QVERIFY(!manager.pluginForSignature(kValidSignature & 0xFF));

    if (readmeFails) {
        QPluginLoader readme(QDir(folder).filePath(kReadme));
        QVERIFY(!readme.load());
        expectedMessages.append(QStringLiteral("warning: Failed to load plugin \"%1\" : \"%2\"")
                                    .arg(kReadme, readme.errorString()));
    }
    // One folder's files come in the file system's order; only the set is fixed here.
    QCOMPARE(sorted(g_messages), sorted(expectedMessages));

    const QList<DevicePlugin *> signalled = emitted(loaded);
    QCOMPARE(signalled.size(), plugins.size());
    QCOMPARE(QSet<DevicePlugin *>(signalled.cbegin(), signalled.cend()),
             QSet<DevicePlugin *>(plugins.cbegin(), plugins.cend()));
}

void tst_PluginManager::rootObjectCasts_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<CastAnswer>("answer");

    QTest::newRow("interface name") << QByteArray("DevicePlugin") << CastAnswer::DevicePart;
    QTest::newRow("interface id") << QByteArray(DevicePlugin_iid) << CastAnswer::DevicePart;
    QTest::newRow("own class") << QByteArray("FakeDevicePlugin") << CastAnswer::Itself;
    QTest::newRow("QObject") << QByteArray("QObject") << CastAnswer::Itself;
    QTest::newRow("unrelated class") << QByteArray("FakeOtherPlugin") << CastAnswer::Nothing;
}

void tst_PluginManager::rootObjectCasts()
{
    QFETCH(QByteArray, className);
    QFETCH(CastAnswer, answer);

    const QString folder = makeScratchFolder({kValid});
    QVERIFY(!folder.isEmpty());
    PluginManager manager;
    manager.loadPluginsFromDir(folder);
    DevicePlugin *plugin = manager.pluginForSignature(kValidSignature);
    QVERIFY(plugin);

    QObject *root = rootObject(QDir(folder).filePath(kValid));
    QCOMPARE(qobject_cast<DevicePlugin *>(root), plugin);

    void *expected = nullptr;
    if (answer == CastAnswer::DevicePart)
        expected = plugin;
    else if (answer == CastAnswer::Itself)
        expected = root;
    QCOMPARE(root->qt_metacast(className.constData()), expected);
}

void tst_PluginManager::duplicates_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("passes");

    QTest::newRow("two files, one signature") << QStringList{kTwinA, kTwinB} << 1;
    QTest::newRow("folder loaded twice") << QStringList{kValid, kTwinA} << 2;
    QTest::newRow("twins loaded twice") << QStringList{kTwinB, kValid, kTwinA} << 2;
}

void tst_PluginManager::duplicates()
{
    QFETCH(QStringList, files);
    QFETCH(int, passes);

    const QString folder = makeScratchFolder(files);
    QVERIFY(!folder.isEmpty());
    const QStringList listed = listedInFileSystemOrder(folder);
    QCOMPARE(sorted(listed), sorted(files));

    // Of the files sharing a signature, the one listed first must win, whatever its name.
    QHash<quint16, QString> winners;
    QStringList expectedMessages;
    for (int pass = 0; pass < passes; ++pass) {
        for (const QString &file : listed) {
            const FakeDevice device = kFakeDevices.value(file);
            if (winners.contains(device.signature)) {
                expectedMessages.append(duplicateLine(device.signature, file));
            } else {
                winners.insert(device.signature, file);
                expectedMessages.append(loadedLine(device.name, device.signature));
            }
        }
    }

    PluginManager manager;
    QSignalSpy loaded(&manager, &PluginManager::pluginLoaded);
    for (int pass = 0; pass < passes; ++pass)
        manager.loadPluginsFromDir(folder);

    QCOMPARE(g_messages, expectedMessages);
    QCOMPARE(manager.allPlugins().size(), winners.size());
    for (auto it = winners.cbegin(); it != winners.cend(); ++it) {
        DevicePlugin *winner = rootPlugin(QDir(folder).filePath(it.value()));
        QVERIFY(winner);
        QCOMPARE(manager.pluginForSignature(it.key()), winner);
    }
    QCOMPARE(loaded.count(), winners.size());
}

void tst_PluginManager::candidateFolders_data()
{
    QTest::addColumn<bool>("inFirst");
    QTest::addColumn<bool>("inSecond");

    QTest::newRow("plugins") << true << false;
    QTest::newRow("../plugins") << false << true;
    QTest::newRow("both") << true << true;
    QTest::newRow("neither") << false << false;
}

void tst_PluginManager::candidateFolders()
{
    QFETCH(bool, inFirst);
    QFETCH(bool, inSecond);

    const QStringList files = {kValid, kTwinA};
    if (inFirst)
        QVERIFY(!makeFolder(m_firstCandidate, files).isEmpty());
    if (inSecond)
        QVERIFY(!makeFolder(m_secondCandidate, files).isEmpty());
    const QString winnerFolder = inFirst ? m_firstCandidate : m_secondCandidate;

    QStringList expectedMessages;
    if (inFirst || inSecond) {
        for (const QString &file : listedInFileSystemOrder(winnerFolder)) {
            const FakeDevice device = kFakeDevices.value(file);
            expectedMessages.append(loadedLine(device.name, device.signature));
        }
    }
    if (inFirst && inSecond) {
        for (const QString &file : listedInFileSystemOrder(m_secondCandidate))
            expectedMessages.append(duplicateLine(kFakeDevices.value(file).signature, file));
    }

    PluginManager manager;
    QSignalSpy loaded(&manager, &PluginManager::pluginLoaded);
    manager.loadPlugins();

    QCOMPARE(g_messages, expectedMessages);
    if (!inFirst && !inSecond) {
        QVERIFY(manager.allPlugins().isEmpty());
        QCOMPARE(loaded.count(), 0);
        return;
    }
    QCOMPARE(manager.supportedSignatures(), (QList<quint16>{kValidSignature, kTwinSignature}));
    for (const QString &file : files) {
        DevicePlugin *expected = rootPlugin(QDir(winnerFolder).filePath(file));
        QVERIFY(expected);
        QCOMPARE(manager.pluginForSignature(kFakeDevices.value(file).signature), expected);
    }
    QCOMPARE(loaded.count(), files.size());
}

void tst_PluginManager::instanceStartsEmpty()
{
    PluginManager *manager = PluginManager::instance();
    QVERIFY(manager);
    QCOMPARE(PluginManager::instance(), manager);
    QVERIFY(manager->allPlugins().isEmpty());
    QVERIFY(manager->supportedSignatures().isEmpty());
    QVERIFY(!manager->pluginForSignature(9));
}

void tst_PluginManager::devicePluginFile_data()
{
    QTest::addColumn<QString>("path");

    const QString folder = QStringLiteral(TAVROLIX_PLUGIN_DIR);
    const QStringList files = listedInFileSystemOrder(folder);
    if (files.isEmpty())
        QSKIP("No device plug-in has been built yet");
    for (const QString &file : files)
        QTest::addRow("%s", qPrintable(file)) << QDir(folder).filePath(file);
}

void tst_PluginManager::devicePluginFile()
{
    QFETCH(QString, path);

    QPluginLoader loader(path);
    QObject *root = loader.instance();
    QVERIFY2(root, qPrintable(loader.errorString()));
    auto *plugin = qobject_cast<DevicePlugin *>(root);
    QVERIFY2(plugin, "the root object does not implement DevicePlugin");

    const quint16 signature = plugin->signature();
    QVERIFY2(kDeviceNames.contains(signature), qPrintable(QString::number(signature)));
    QCOMPARE(plugin->deviceName(), kDeviceNames.value(signature));

    void *devicePart = plugin;
    QCOMPARE(root->qt_metacast("DevicePlugin"), devicePart);
    QCOMPARE(root->qt_metacast(DevicePlugin_iid), devicePart);
    QCOMPARE(root->qt_metacast(root->metaObject()->className()), static_cast<void *>(root));
}

void tst_PluginManager::devicePluginFolder()
{
    const QString folder = QStringLiteral(TAVROLIX_PLUGIN_DIR);
    const QStringList files = listedInFileSystemOrder(folder);
    if (files.isEmpty())
        QSKIP("No device plug-in has been built yet");

    PluginManager manager;
    manager.loadPluginsFromDir(folder);

    for (const QString &message : std::as_const(g_messages))
        QVERIFY2(!message.startsWith(QStringLiteral("warning: ")), qPrintable(message));
    const QList<quint16> signatures = manager.supportedSignatures();
    QCOMPARE(signatures.size(), files.size());
    QVERIFY(std::is_sorted(signatures.cbegin(), signatures.cend()));
    const QList<DevicePlugin *> plugins = manager.allPlugins();
    for (int i = 0; i < plugins.size(); ++i)
        QCOMPARE(plugins.at(i)->signature(), signatures.at(i));
}

QTEST_GUILESS_MAIN(tst_PluginManager)
#include "tst_pluginmanager.moc"
