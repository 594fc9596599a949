#include "Indicator4Plugin.h"

Indicator4Plugin::Indicator4Plugin(QObject *parent)
    : EditorPlugin(parent)
{
}

quint16 Indicator4Plugin::signature() const
{
    return 9;
}

QString Indicator4Plugin::deviceName() const
{
    return QStringLiteral("indicator4");
}

QString Indicator4Plugin::description() const
{
    return tr("4-channel LED indicator display");
}

quint16 Indicator4Plugin::saveRegisterAddress() const
{
    return 4;
}
