#include "GsmModemPlugin.h"

GsmModemPlugin::GsmModemPlugin(QObject *parent)
    : EditorPlugin(parent)
{
}

quint16 GsmModemPlugin::signature() const
{
    return 5;
}

QString GsmModemPlugin::deviceName() const
{
    return QStringLiteral("gsmmodem");
}

QString GsmModemPlugin::description() const
{
    return tr("GSM Modem SMS Gateway");
}

quint16 GsmModemPlugin::saveRegisterAddress() const
{
    return 0;
}
