#include "AnalogModule8Plugin.h"

AnalogModule8Plugin::AnalogModule8Plugin(QObject *parent)
    : EditorPlugin(parent)
{
}

quint16 AnalogModule8Plugin::signature() const
{
    return 2;
}

QString AnalogModule8Plugin::deviceName() const
{
    return QStringLiteral("analogModule8");
}

QString AnalogModule8Plugin::description() const
{
    return tr("8 analog inputs (PT100 / 0-20mA)");
}

quint16 AnalogModule8Plugin::saveRegisterAddress() const
{
    return 28;
}
