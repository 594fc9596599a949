#include "VoltmeterPlugin.h"

VoltmeterPlugin::VoltmeterPlugin(QObject *parent)
    : EditorPlugin(parent,
                   {24, "voltmeter",
                    QT_TRANSLATE_NOOP("VoltmeterPlugin",
                                      "4 configurable analog inputs + 4 fixed voltage inputs"),
                    20})
{
}
