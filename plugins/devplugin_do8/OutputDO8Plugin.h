#pragma once

#include "DeviceConfiguration.h"
#include "EditorPlugin.h"
#include "OutputDO8Widget.h"

// Device plug-in of the eight-relay output module (signature 4).
class OutputDO8Plugin : public EditorPlugin<OutputDO8Widget>, public DeviceConfiguration
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin DeviceConfiguration)

public:
    explicit OutputDO8Plugin(QObject *parent = nullptr);

    QList<ConfigurationBlock> configurationBlocks() const override;
    SerialRegisters serialRegisters() const override;
};
