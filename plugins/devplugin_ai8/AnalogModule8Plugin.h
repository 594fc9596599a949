#pragma once

#include "AnalogModule8Widget.h"
#include "DeviceConfiguration.h"
#include "EditorPlugin.h"

// Device plug-in of the eight-channel analog input module (signature 2).
class AnalogModule8Plugin : public EditorPlugin<AnalogModule8Widget>, public DeviceConfiguration
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin DeviceConfiguration)

public:
    explicit AnalogModule8Plugin(QObject *parent = nullptr);

    QList<ConfigurationBlock> configurationBlocks() const override;
    SerialRegisters serialRegisters() const override;
};
