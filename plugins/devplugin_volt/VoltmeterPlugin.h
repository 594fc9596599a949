#pragma once

#include "DeviceConfiguration.h"
#include "EditorPlugin.h"
#include "VoltmeterWidget.h"

// Device plug-in of the voltmeter (signature 24): four configurable analog inputs and
// four fixed voltage inputs.
class VoltmeterPlugin : public EditorPlugin<VoltmeterWidget>, public DeviceConfiguration
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin DeviceConfiguration)

public:
    explicit VoltmeterPlugin(QObject *parent = nullptr);

    QList<ConfigurationBlock> configurationBlocks() const override;
    SerialRegisters serialRegisters() const override;
};
