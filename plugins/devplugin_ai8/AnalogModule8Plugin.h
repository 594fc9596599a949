#pragma once

#include "DevicePlugin.h"

#include <QObject>
#include <QPointer>

class AnalogModule8Widget;

// Device plug-in of the eight-channel analog input module (signature 2).
class AnalogModule8Plugin : public QObject, public DevicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit AnalogModule8Plugin(QObject *parent = nullptr);

    quint16 signature() const override;
    QString deviceName() const override;
    QString description() const override;
    QWidget *createWidget(ModbusClient *client, QWidget *parent) override;
    void readFromDevice() override;
    void writeToDevice() override;
    quint16 saveRegisterAddress() const override;

private:
    // The editor made last; owned by the host's widget tree.
    // The host owns the editor and may delete it at any time.
    QPointer<AnalogModule8Widget> m_widget;
};
