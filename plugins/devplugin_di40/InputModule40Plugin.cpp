#include "InputModule40Plugin.h"

#include "InputModule40Widget.h"

InputModule40Plugin::InputModule40Plugin(QObject *parent)
    : QObject(parent)
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

QWidget *InputModule40Plugin::createWidget(ModbusClient *client, QWidget *parent)
{
    m_widget = new InputModule40Widget(client, parent);
    return m_widget;
}

void InputModule40Plugin::readFromDevice()
{
    if (m_widget)
        m_widget->readFromDevice();
}

void InputModule40Plugin::writeToDevice()
{
    if (m_widget)
        m_widget->writeToDevice();
}

quint16 InputModule40Plugin::saveRegisterAddress() const
{
    return 103;
}
