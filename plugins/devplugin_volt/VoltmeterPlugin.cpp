#include "VoltmeterPlugin.h"

VoltmeterPlugin::VoltmeterPlugin(QObject *parent)
    : EditorPlugin(parent)
{
}

quint16 VoltmeterPlugin::signature() const
{
    return 24;
}

QString VoltmeterPlugin::deviceName() const
{
    return QStringLiteral("voltmeter");
}

QString VoltmeterPlugin::description() const
{
    return tr("4 configurable analog inputs + 4 fixed voltage inputs");
}

quint16 VoltmeterPlugin::saveRegisterAddress() const
{
    return 20;
}
