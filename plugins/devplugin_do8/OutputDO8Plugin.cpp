#include "OutputDO8Plugin.h"

#include "OutputDO8Widget.h"

OutputDO8Plugin::OutputDO8Plugin(QObject *parent)
    : QObject(parent)
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

QWidget *OutputDO8Plugin::createWidget(ModbusClient *client, QWidget *parent)
{
    m_widget = new OutputDO8Widget(client, parent);
    return m_widget;
}

void OutputDO8Plugin::readFromDevice()
{
    if (m_widget)
        m_widget->readFromDevice();
}

void OutputDO8Plugin::writeToDevice()
{
    if (m_widget)
        m_widget->writeToDevice();
}

quint16 OutputDO8Plugin::saveRegisterAddress() const
{
    return 99;
}
