#include "PluginManager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>
#include <QStringList>

namespace {

QString libraryPattern()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("*.dll");
#elif defined(Q_OS_DARWIN)
    return QStringLiteral("*.dylib");
#else
    return QStringLiteral("*.so");
#endif
}

} // namespace

PluginManager *PluginManager::instance()
{
    static PluginManager s_instance;
    return &s_instance;
}

PluginManager::PluginManager()
{
    qRegisterMetaType<DevicePlugin *>();
}

PluginManager::~PluginManager() = default;

void PluginManager::loadPlugins()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        appDir + QStringLiteral("/plugins"),
        appDir + QStringLiteral("/../plugins"),
    };
    for (const QString &path : candidates) {
        if (QFileInfo(path).isDir())
            loadPluginsFromDir(path);
    }
}

void PluginManager::loadPluginsFromDir(const QString &path)
{
    const QDir dir(path);
    // Kept in the file system's order: it decides which of two files claiming the same
    // signature wins.
    const QStringList fileNames =
        dir.entryList(QStringList{libraryPattern()}, QDir::Files, QDir::Unsorted);

    for (const QString &fileName : fileNames) {
        // The loader goes out of scope after each file without unload(): the root
        // objects, including refused ones, must stay valid until the process ends.
        QPluginLoader loader(dir.absoluteFilePath(fileName));
        QObject *root = loader.instance();
        if (!root) {
            qWarning() << "Failed to load plugin" << fileName << ":" << loader.errorString();
            continue;
        }

        // Other kinds of Qt plug-in may share the folder; they are none of our business.
        auto *plugin = qobject_cast<DevicePlugin *>(root);
        if (!plugin)
            continue;

        const quint16 sig = plugin->signature();
        if (m_plugins.contains(sig)) {
            qWarning() << "Duplicate signature" << sig << "from" << fileName;
            continue;
        }

        m_plugins.insert(sig, plugin);
        qDebug() << "Loaded plugin:" << plugin->deviceName() << "signature:" << sig;
        if (auto *configuration = qobject_cast<DeviceConfiguration *>(root))
            m_configurations.insert(sig, configuration);
        else
            qDebug() << "Plugin" << plugin->deviceName() << "offers no configuration file support";
        emit pluginLoaded(plugin);
    }
}

DevicePlugin *PluginManager::pluginForSignature(quint16 signature) const
{
    return m_plugins.value(signature, nullptr);
}

QList<DevicePlugin *> PluginManager::allPlugins() const
{
    return m_plugins.values();
}

DeviceConfiguration *PluginManager::configurationForSignature(quint16 signature) const
{
    return m_configurations.value(signature, nullptr);
}

QList<quint16> PluginManager::supportedSignatures() const
{
    return m_plugins.keys();
}
