#pragma once

#include "ConfigurationFile.h"
#include "DeviceConfiguration.h"
#include "TavrolixCoreExport.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class DevicePlugin;
class ModbusClient;

// Reads a device's configuration into a file, compares a file with the device, and
// restores a file to it, on a connected client whose node is the device. Every request
// lets the event loop run; an operation stops at the first request that fails, also
// when the client went away meanwhile.
class TAVROLIX_CORE_EXPORT ConfigurationTransfer : public QObject
{
    Q_OBJECT

public:
    enum class Status { Ok, ReadFailed, WriteFailed, VerifyFailed, SaveFailed };

    struct Result
    {
        Status status = Status::Ok;
        QString message; // for the user: which field failed and why; empty on success
        int blocksWritten = 0;
        bool ok() const { return status == Status::Ok; }
    };

    // One field of the file beside the device's value of it.
    struct Row
    {
        QString field; // the name in files and scripts
        QString label; // the name in the user's language
        ConfigurationBlock::Table table = ConfigurationBlock::Table::HoldingRegisters;
        quint16 address = 0;
        bool isSigned = false;
        bool isSerial = false; // the device's own line setting: kept unless asked
        QList<quint16> device;
        QList<quint16> file;
        bool differs = false; // a serial setting counts only when the compare was asked to
    };

    struct Options
    {
        bool applySerial = false; // also the file's node, baud rate and parity
        bool save = true; // the save command once everything is written and verified
    };

    // None of the three is owned; `plugin` and `configuration` are the same plug-in's.
    ConfigurationTransfer(ModbusClient *client, const DevicePlugin *plugin,
                          const DeviceConfiguration *configuration, QObject *parent = nullptr);

    // Every block the plug-in describes, with the device's firmware version. The caller
    // adds the line setting and note.
    Result read(ConfigurationFile *file);
    // The file's fields beside the device's; the file must fit the device type.
    Result compare(const ConfigurationFile &file, QList<Row> *rows, bool withSerial = false);
    // Writes the blocks that differ, reads each back and checks it, and only then sends
    // the save command. A failure stops before the save command and names the field.
    Result restore(const ConfigurationFile &file, const Options &options);

    // A row's values as the user reads them: a number, signed where the field is, or
    // the words of a text field in hexadecimal.
    static QString valueText(const Row &row, const QList<quint16> &values);

private:
    const ConfigurationBlock *describedBlock(const ConfigurationFile::Block &block) const;
    bool readBlock(ConfigurationBlock::Table table, quint16 start, int count,
                   QList<quint16> *values);
    bool writeBlock(ConfigurationBlock::Table table, quint16 start, const QList<quint16> &values);
    bool isSerialRegister(ConfigurationBlock::Table table, quint16 address) const;
    // The file's values of `block` with the device's serial settings, unless applied.
    QList<quint16> target(const ConfigurationFile::Block &block, const QList<quint16> &device,
                          bool applySerial) const;
    // The field of `block` at `offset` addresses from its start, in the user's language.
    QString fieldAt(const ConfigurationFile::Block &block, int offset) const;
    // The plug-in's root class, where its field names are translated.
    const char *labelContext() const;
    QString reason() const;

    QPointer<ModbusClient> m_client;
    const DevicePlugin *m_plugin;
    const DeviceConfiguration *m_configuration;
    QList<ConfigurationBlock> m_blocks;
};
