#pragma once

#include "DevicePlugin.h"

#include <QObject>
#include <QPointer>

class GsmModemWidget;

// Device plug-in of the GSM modem SMS gateway (signature 5).
class GsmModemPlugin : public QObject, public DevicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit GsmModemPlugin(QObject *parent = nullptr);

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
    QPointer<GsmModemWidget> m_widget;
};
