#pragma once

#include "DevicePlugin.h"

#include <QObject>
#include <QPointer>

class VoltmeterWidget;

// Device plug-in of the voltmeter (signature 24): four configurable analog inputs and
// four fixed voltage inputs.
class VoltmeterPlugin : public QObject, public DevicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit VoltmeterPlugin(QObject *parent = nullptr);

    quint16 signature() const override;
    QString deviceName() const override;
    QString description() const override;
    QWidget *createWidget(ModbusClient *client, QWidget *parent) override;
    void readFromDevice() override;
    void writeToDevice() override;
    quint16 saveRegisterAddress() const override;

private:
    // The editor made last; the host owns it and may delete it at any time.
    QPointer<VoltmeterWidget> m_widget;
};
