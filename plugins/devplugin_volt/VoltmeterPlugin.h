#pragma once

#include "EditorPlugin.h"
#include "VoltmeterWidget.h"

// Device plug-in of the voltmeter (signature 24): four configurable analog inputs and
// four fixed voltage inputs.
class VoltmeterPlugin : public EditorPlugin<VoltmeterWidget>
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit VoltmeterPlugin(QObject *parent = nullptr);
};
