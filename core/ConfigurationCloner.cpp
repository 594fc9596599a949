#include "ConfigurationCloner.h"

#include "DevicePlugin.h"
#include "I18n.h"
#include "ModbusClient.h"
#include "PluginManager.h"

#include <algorithm>

ConfigurationCloner::ConfigurationCloner(ModbusClient *client, const DevicePlugin *plugin,
                                         const DeviceConfiguration *configuration, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_plugin(plugin)
    , m_configuration(configuration)
{
}

QList<ConfigurationCloner::NodeResult>
ConfigurationCloner::run(const ConfigurationFile &file, const QList<int> &nodes,
                         const ConfigurationTransfer::Options &options)
{
    m_cancelled = false;
    QList<NodeResult> results;
    for (int i = 0; i < nodes.size(); ++i) {
        const int node = nodes.at(i);
        if (m_cancelled) {
            results.append({node, Outcome::Cancelled, {}});
            continue;
        }
        emit nodeStarted(node, i, int(nodes.size()));
        const NodeResult result = restoreNode(file, node, options);
        results.append(result);
        emit nodeFinished(result);
    }
    return results;
}

bool ConfigurationCloner::allDone(const QList<NodeResult> &results)
{
    return std::all_of(results.begin(), results.end(),
                       [](const NodeResult &r) { return r.outcome == Outcome::Done; });
}

ConfigurationCloner::NodeResult
ConfigurationCloner::restoreNode(const ConfigurationFile &file, int node,
                                 const ConfigurationTransfer::Options &options)
{
    if (!m_client || !m_client->isConnected())
        return {node, Outcome::Failed, str(Str::NotConnected)};
    m_client->setSlaveAddress(node);
    quint16 signature = 0;
    if (!m_client->readSignature(signature))
        return {node, Outcome::Failed, tr("No answer: %1").arg(m_client->lastError())};
    if (signature != m_plugin->signature()) {
        const DevicePlugin *other = PluginManager::instance()->pluginForSignature(signature);
        return {node, Outcome::Skipped,
                tr("The device is %1, not %2.")
                    .arg(other ? other->deviceName() : tr("of type %1").arg(signature),
                         m_plugin->deviceName())};
    }
    ConfigurationTransfer transfer(m_client, m_plugin, m_configuration);
    const ConfigurationTransfer::Result restored = transfer.restore(file, options);
    if (!restored.ok())
        return {node, Outcome::Failed, restored.message};
    return {node, Outcome::Done, tr("Blocks written: %1").arg(restored.blocksWritten)};
}
