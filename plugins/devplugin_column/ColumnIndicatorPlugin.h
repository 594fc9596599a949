#pragma once

#include "DevicePlugin.h"

#include <QObject>
#include <QPointer>

class ColumnIndicatorWidget;

// Device plug-in of the four-channel column (bar-graph) indicator (signature 18).
class ColumnIndicatorPlugin : public QObject, public DevicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DevicePlugin_iid)
    Q_INTERFACES(DevicePlugin)

public:
    explicit ColumnIndicatorPlugin(QObject *parent = nullptr);

    quint16 signature() const override;
    QString deviceName() const override;
    QString description() const override;
    QWidget *createWidget(ModbusClient *client, QWidget *parent) override;
    void readFromDevice() override;
    void writeToDevice() override;
    quint16 saveRegisterAddress() const override;

private:
    // The editor made last; the host owns it and may delete it at any time.
    QPointer<ColumnIndicatorWidget> m_widget;
};
