#pragma once

#include "DeviceConfiguration.h"
#include "EditorPlugin.h"
#include "GsmModemWidget.h"

// Device plug-in of the GSM modem SMS gateway (signature 5).
class GsmModemPlugin : public EditorPlugin<GsmModemWidget>, public DeviceConfiguration
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin DeviceConfiguration)

public:
    explicit GsmModemPlugin(QObject *parent = nullptr);

    QList<ConfigurationBlock> configurationBlocks() const override;
    SerialRegisters serialRegisters() const override;
};
