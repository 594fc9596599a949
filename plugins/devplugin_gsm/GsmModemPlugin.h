#pragma once

#include "EditorPlugin.h"
#include "GsmModemWidget.h"

// Device plug-in of the GSM modem SMS gateway (signature 5).
class GsmModemPlugin : public EditorPlugin<GsmModemWidget>
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit GsmModemPlugin(QObject *parent = nullptr);
};
