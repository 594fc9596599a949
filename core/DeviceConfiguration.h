#pragma once

#include "TavrolixCoreExport.h"

#include <QList>
#include <QString>
#include <QtPlugin>

#define DeviceConfiguration_iid "com.tavrolix.DeviceConfiguration/1.0"

// One setting the device keeps in flash: a holding register or a coil, or a text of
// several registers.
struct TAVROLIX_CORE_EXPORT ConfigurationField
{
    QString name; // short and English: "Input 2 type"; it goes into files as it is
    int count = 1; // addresses it takes
    bool isSigned = false; // a register shown as a signed 16-bit value

    // The name in the user's language, for the window and messages. A plug-in marks its
    // names for translation (QT_TR_NOOP, the number in the name as %1) in its root class,
    // `context`; the line settings of addSerial() are ConfigurationBlock's.
    QString label(const char *context) const;
};

// A run of settings at consecutive addresses, read and written in one request each.
struct TAVROLIX_CORE_EXPORT ConfigurationBlock
{
    enum class Table { HoldingRegisters, Coils };

    Table table = Table::HoldingRegisters;
    quint16 start = 0;
    QList<ConfigurationField> fields; // in address order, without gaps

    static ConfigurationBlock holding(quint16 start)
    {
        return {Table::HoldingRegisters, start, {}};
    }
    static ConfigurationBlock coils(quint16 start) { return {Table::Coils, start, {}}; }
    ConfigurationBlock &add(const QString &name, bool isSigned = false);
    // `count` fields from "pattern" with %1 running from 1.
    ConfigurationBlock &addNumbered(const QString &pattern, int count, bool isSigned = false);
    // One field over `registers` addresses.
    ConfigurationBlock &addText(const QString &name, int registers);
    // The device's node address, baud-rate index and parity code, in this order.
    ConfigurationBlock &addSerial();

    int count() const; // addresses
};

// Where the device keeps its own line settings, all holding registers.
struct SerialRegisters
{
    quint16 node;
    quint16 baudIndex; // position in ModbusClient::baudRates()
    quint16 parity; // 0 none, 1 even, 2 odd
};

// What a device plug-in tells of the settings its device stores on the save command,
// so that they can be kept in a file and restored. Optional: the root object of a
// plug-in file may implement it beside DevicePlugin.
class TAVROLIX_CORE_EXPORT DeviceConfiguration
{
public:
    virtual ~DeviceConfiguration();

    virtual QList<ConfigurationBlock> configurationBlocks() const = 0;
    virtual SerialRegisters serialRegisters() const = 0;
};

Q_DECLARE_INTERFACE(DeviceConfiguration, DeviceConfiguration_iid)
