#pragma once

#include "TavrolixCoreExport.h"

#include <QMetaType>
#include <QString>
#include <QtPlugin>

class ModbusClient;
class QWidget;

#define DevicePlugin_iid "com.tavrolix.DevicePlugin/1.0"

// What the configurator expects of a device plug-in. The root object of a plug-in
// file derives from QObject and DevicePlugin, in that order; it belongs to the plug-in
// loader and lives until the process ends.
class TAVROLIX_CORE_EXPORT DevicePlugin
{
public:
    virtual ~DevicePlugin();

    // Device-type code the device reports in input register 0.
    virtual quint16 signature() const = 0;
    // Fixed identifier for logs and the status row; not translated.
    virtual QString deviceName() const = 0;
    virtual QString description() const = 0;
    // A new editor page on `client` (not owned, outlives the page) with `parent` as its
    // Qt parent. The caller owns the page; the plug-in remembers it for the calls below.
    virtual QWidget *createWidget(ModbusClient *client, QWidget *parent) = 0;
    // Fills the last editor made from the device; nothing without an editor.
    virtual void readFromDevice() = 0;
    // Writes every value of the last editor made to the device; nothing without an editor.
    virtual void writeToDevice() = 0;
    // Holding register that takes the save command 0x0300.
    virtual quint16 saveRegisterAddress() const = 0;
};

Q_DECLARE_INTERFACE(DevicePlugin, DevicePlugin_iid)
Q_DECLARE_METATYPE(DevicePlugin *)
