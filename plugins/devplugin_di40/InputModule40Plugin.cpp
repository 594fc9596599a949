#include "InputModule40Plugin.h"

InputModule40Plugin::InputModule40Plugin(QObject *parent)
    : EditorPlugin(parent)
{
}

quint16 InputModule40Plugin::signature() const
{
    return 3;
}

QString InputModule40Plugin::deviceName() const
{
    return QStringLiteral("inputModule40");
}

QString InputModule40Plugin::description() const
{
    return tr("40 digital inputs with debouncing");
}

quint16 InputModule40Plugin::saveRegisterAddress() const
{
    return 103;
}
