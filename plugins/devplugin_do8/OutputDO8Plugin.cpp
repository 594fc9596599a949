#include "OutputDO8Plugin.h"

OutputDO8Plugin::OutputDO8Plugin(QObject *parent)
    : EditorPlugin(parent)
{
}

quint16 OutputDO8Plugin::signature() const
{
    return 4;
}

QString OutputDO8Plugin::deviceName() const
{
    return QStringLiteral("outputModuleDO8");
}

QString OutputDO8Plugin::description() const
{
    return tr("8 relay digital outputs");
}

quint16 OutputDO8Plugin::saveRegisterAddress() const
{
    return 99;
}
