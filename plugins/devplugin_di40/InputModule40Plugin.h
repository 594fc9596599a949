#pragma once

#include "DevicePlugin.h"

#include <QObject>
#include <QPointer>

class InputModule40Widget;

// Device plug-in of the 40-input digital module with debouncing (signature 3).
class InputModule40Plugin : public QObject, public DevicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit InputModule40Plugin(QObject *parent = nullptr);

    quint16 signature() const override;
    QString deviceName() const override;
    QString description() const override;
    QWidget *createWidget(ModbusClient *client, QWidget *parent) override;
    void readFromDevice() override;
    void writeToDevice() override;
    quint16 saveRegisterAddress() const override;

private:
    // The editor made last; the host owns it and may delete it at any time.
    QPointer<InputModule40Widget> m_widget;
};
