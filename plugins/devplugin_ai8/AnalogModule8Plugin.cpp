#include "AnalogModule8Plugin.h"

#include "AnalogModule8Widget.h"

AnalogModule8Plugin::AnalogModule8Plugin(QObject *parent)
    : QObject(parent)
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

QWidget *AnalogModule8Plugin::createWidget(ModbusClient *client, QWidget *parent)
{
    m_widget = new AnalogModule8Widget(client, parent);
    return m_widget;
}

void AnalogModule8Plugin::readFromDevice()
{
    if (m_widget)
        m_widget->readFromDevice();
}

void AnalogModule8Plugin::writeToDevice()
{
    if (m_widget)
        m_widget->writeToDevice();
}

quint16 AnalogModule8Plugin::saveRegisterAddress() const
{
    return 28;
}
