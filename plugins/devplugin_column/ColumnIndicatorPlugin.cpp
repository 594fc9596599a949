#include "ColumnIndicatorPlugin.h"

#include "ColumnIndicatorWidget.h"

ColumnIndicatorPlugin::ColumnIndicatorPlugin(QObject *parent)
    : QObject(parent)
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

QWidget *ColumnIndicatorPlugin::createWidget(ModbusClient *client, QWidget *parent)
{
    m_widget = new ColumnIndicatorWidget(client, parent);
    return m_widget;
}

void ColumnIndicatorPlugin::readFromDevice()
{
    if (m_widget)
        m_widget->readFromDevice();
}

void ColumnIndicatorPlugin::writeToDevice()
{
    if (m_widget)
        m_widget->writeToDevice();
}

quint16 ColumnIndicatorPlugin::saveRegisterAddress() const
{
    // The device takes the save command in register 0, the first of its settings block.
    return 0;
}
