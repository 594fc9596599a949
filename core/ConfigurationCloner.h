#pragma once

#include "ConfigurationTransfer.h"
#include "TavrolixCoreExport.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>

class DevicePlugin;
class DeviceConfiguration;
class ModbusClient;

// Restores one configuration file to many devices of its type on one line, node by
// node: identifies each, restores, verifies and saves. A device that fails does not
// stop the others.
class TAVROLIX_CORE_EXPORT ConfigurationCloner : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Done, Skipped, Failed, Cancelled };
    Q_ENUM(Outcome)

    struct NodeResult
    {
        int node = 0;
        Outcome outcome = Outcome::Cancelled;
        QString detail; // why it was skipped or failed
    };

    // None of the three is owned; the client is connected at the line's setting.
    ConfigurationCloner(ModbusClient *client, const DevicePlugin *plugin,
                        const DeviceConfiguration *configuration, QObject *parent = nullptr);

    // One result per node, in the order of `nodes`; after a cancel the nodes not begun
    // are Cancelled. The client is left addressed to the last node tried.
    QList<NodeResult> run(const ConfigurationFile &file, const QList<int> &nodes,
                          const ConfigurationTransfer::Options &options);
    // Takes effect when the node being restored is done.
    void cancel() { m_cancelled = true; }

    static bool allDone(const QList<NodeResult> &results);

signals:
    void nodeStarted(int node, int index, int total);
    void nodeFinished(const ConfigurationCloner::NodeResult &result);

private:
    NodeResult restoreNode(const ConfigurationFile &file, int node,
                           const ConfigurationTransfer::Options &options);

    QPointer<ModbusClient> m_client;
    const DevicePlugin *m_plugin;
    const DeviceConfiguration *m_configuration;
    bool m_cancelled = false;
};

Q_DECLARE_METATYPE(ConfigurationCloner::NodeResult)
