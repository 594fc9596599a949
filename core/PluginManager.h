#pragma once

#include "DeviceConfiguration.h"
#include "DevicePlugin.h"
#include "TavrolixCoreExport.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

// Finds the device plug-ins at start-up and files each under the signature of the
// device type it serves. The plug-ins belong to the plug-in loader; nothing here
// deletes or unloads them.
class TAVROLIX_CORE_EXPORT PluginManager : public QObject
{
    Q_OBJECT

public:
    static PluginManager *instance();

    PluginManager();
    ~PluginManager() override;

    // Searches <program folder>/plugins, then <program folder>/../plugins.
    void loadPlugins();
    void loadPluginsFromDir(const QString &path);

    // Not owned; null when no plug-in serves `signature`.
    DevicePlugin *pluginForSignature(quint16 signature) const;
    // Both in ascending order of signature.
    QList<DevicePlugin *> allPlugins() const;
    QList<quint16> supportedSignatures() const;
    // What the plug-in serving `signature` tells of its device's stored settings; null
    // when there is none or it does not tell.
    DeviceConfiguration *configurationForSignature(quint16 signature) const;

signals:
    void pluginLoaded(DevicePlugin *plugin);

private:
    QMap<quint16, DevicePlugin *> m_plugins;
    QMap<quint16, DeviceConfiguration *> m_configurations;
};
