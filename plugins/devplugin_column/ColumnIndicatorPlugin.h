#pragma once

#include "ColumnIndicatorWidget.h"
#include "DeviceConfiguration.h"
#include "EditorPlugin.h"

// Device plug-in of the four-channel column (bar-graph) indicator (signature 18).
class ColumnIndicatorPlugin : public EditorPlugin<ColumnIndicatorWidget>,
                              public DeviceConfiguration
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin DeviceConfiguration)

public:
    explicit ColumnIndicatorPlugin(QObject *parent = nullptr);

    QList<ConfigurationBlock> configurationBlocks() const override;
    SerialRegisters serialRegisters() const override;
};
