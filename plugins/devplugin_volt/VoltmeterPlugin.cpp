#include "VoltmeterPlugin.h"

#include "VoltmeterWidget.h"

VoltmeterPlugin::VoltmeterPlugin(QObject *parent)
    : QObject(parent)
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

QWidget *VoltmeterPlugin::createWidget(ModbusClient *client, QWidget *parent)
{
    m_widget = new VoltmeterWidget(client, parent);
    return m_widget;
}

void VoltmeterPlugin::readFromDevice()
{
    if (m_widget)
        m_widget->readFromDevice();
}

void VoltmeterPlugin::writeToDevice()
{
    if (m_widget)
        m_widget->writeToDevice();
}

quint16 VoltmeterPlugin::saveRegisterAddress() const
{
    return 20;
}
