#pragma once

#include "DeviceConfiguration.h"
#include "EditorPlugin.h"
#include "InputModule40Widget.h"

// Device plug-in of the 40-input digital module with debouncing (signature 3).
class InputModule40Plugin : public EditorPlugin<InputModule40Widget>, public DeviceConfiguration
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin DeviceConfiguration)

public:
    explicit InputModule40Plugin(QObject *parent = nullptr);

    QList<ConfigurationBlock> configurationBlocks() const override;
    SerialRegisters serialRegisters() const override;
};
