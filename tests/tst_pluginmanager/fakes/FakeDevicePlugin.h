#pragma once

#include "DevicePlugin.h"

#include <QObject>

// Built several times over, each build reporting the signature and name its target
// gives it, so the manager can be shown distinct files that look alike.
class FakeDevicePlugin : public QObject, public DevicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit FakeDevicePlugin(QObject *parent = nullptr);

    quint16 signature() const override;
    QString deviceName() const override;
    QString description() const override;
    QWidget *createWidget(ModbusClient *client, QWidget *parent) override;
    void readFromDevice() override;
    void writeToDevice() override;
    quint16 saveRegisterAddress() const override;
};
