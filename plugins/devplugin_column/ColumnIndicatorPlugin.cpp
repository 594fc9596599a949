#include "ColumnIndicatorPlugin.h"

ColumnIndicatorPlugin::ColumnIndicatorPlugin(QObject *parent)
    : EditorPlugin(parent)
{
}

quint16 ColumnIndicatorPlugin::signature() const
{
    return 18;
}

QString ColumnIndicatorPlugin::deviceName() const
{
    return QStringLiteral("columnIndicator");
}

QString ColumnIndicatorPlugin::description() const
{
    return tr("4-channel column indicator");
}

quint16 ColumnIndicatorPlugin::saveRegisterAddress() const
{
    // The device takes the save command in register 0, the first of its settings block.
    return 0;
}
