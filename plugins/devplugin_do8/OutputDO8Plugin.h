#pragma once

#include "DevicePlugin.h"

#include <QObject>
#include <QPointer>

class OutputDO8Widget;

// Device plug-in of the eight-relay output module (signature 4).
class OutputDO8Plugin : public QObject, public DevicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit OutputDO8Plugin(QObject *parent = nullptr);

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
    QPointer<OutputDO8Widget> m_widget;
};
