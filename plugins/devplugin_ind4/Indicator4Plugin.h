#pragma once

#include "DeviceConfiguration.h"
#include "EditorPlugin.h"
#include "Indicator4Widget.h"

// Device plug-in of the four-channel LED indicator (signature 9).
class Indicator4Plugin : public EditorPlugin<Indicator4Widget>, public DeviceConfiguration
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin DeviceConfiguration)

public:
    explicit Indicator4Plugin(QObject *parent = nullptr);

    QList<ConfigurationBlock> configurationBlocks() const override;
    SerialRegisters serialRegisters() const override;
};
