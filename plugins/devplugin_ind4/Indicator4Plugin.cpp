#include "Indicator4Plugin.h"

#include "Indicator4Widget.h"

Indicator4Plugin::Indicator4Plugin(QObject *parent)
    : QObject(parent)
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

QWidget *Indicator4Plugin::createWidget(ModbusClient *client, QWidget *parent)
{
    m_widget = new Indicator4Widget(client, parent);
    return m_widget;
}

void Indicator4Plugin::readFromDevice()
{
    if (m_widget)
        m_widget->readFromDevice();
}

void Indicator4Plugin::writeToDevice()
{
    if (m_widget)
        m_widget->writeToDevice();
}

quint16 Indicator4Plugin::saveRegisterAddress() const
{
    return 4;
}
