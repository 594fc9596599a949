#include "FakeDevicePlugin.h"

FakeDevicePlugin::FakeDevicePlugin(QObject *parent)
    : QObject(parent)
{
}

quint16 FakeDevicePlugin::signature() const
{
    return FAKE_SIGNATURE;
}

QString FakeDevicePlugin::deviceName() const
{
    return QStringLiteral(FAKE_DEVICE_NAME);
}

QString FakeDevicePlugin::description() const
{
    return QStringLiteral("Fake device for the plug-in manager test");
}

QWidget *FakeDevicePlugin::createWidget(ModbusClient *client, QWidget *parent)
{
    Q_UNUSED(client)
    Q_UNUSED(parent)
    return nullptr;
}

void FakeDevicePlugin::readFromDevice()
{
}

void FakeDevicePlugin::writeToDevice()
{
}

quint16 FakeDevicePlugin::saveRegisterAddress() const
{
    return 0;
}
