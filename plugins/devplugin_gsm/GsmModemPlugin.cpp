#include "GsmModemPlugin.h"

#include "GsmModemWidget.h"

GsmModemPlugin::GsmModemPlugin(QObject *parent)
    : QObject(parent)
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

QWidget *GsmModemPlugin::createWidget(ModbusClient *client, QWidget *parent)
{
    m_widget = new GsmModemWidget(client, parent);
    return m_widget;
}

void GsmModemPlugin::readFromDevice()
{
    if (m_widget)
        m_widget->readFromDevice();
}

void GsmModemPlugin::writeToDevice()
{
    if (m_widget)
        m_widget->writeToDevice();
}

quint16 GsmModemPlugin::saveRegisterAddress() const
{
    return 0;
}
