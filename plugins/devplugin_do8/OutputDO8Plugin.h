#pragma once

#include "EditorPlugin.h"
#include "OutputDO8Widget.h"

// Device plug-in of the eight-relay output module (signature 4).
class OutputDO8Plugin : public EditorPlugin<OutputDO8Widget>
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit OutputDO8Plugin(QObject *parent = nullptr);
};
