#include "ConfigurationTransfer.h"

#include "DevicePlugin.h"
#include "I18n.h"
#include "ModbusClient.h"

namespace {

constexpr quint16 SaveCommand = 0x0300;

QList<quint16> wordsOf(const QList<bool> &bits)
{
    QList<quint16> words;
    words.reserve(bits.size());
    for (bool bit : bits)
        words.append(bit ? 1 : 0);
    return words;
}

} // namespace

ConfigurationTransfer::ConfigurationTransfer(ModbusClient *client, const DevicePlugin *plugin,
                                             const DeviceConfiguration *configuration,
                                             QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_plugin(plugin)
    , m_configuration(configuration)
    , m_blocks(configuration->configurationBlocks())
{
}

ConfigurationTransfer::Result ConfigurationTransfer::read(ConfigurationFile *file)
{
    ConfigurationFile read;
    read.signature = m_plugin->signature();
    read.deviceName = m_plugin->deviceName();
    for (const ConfigurationBlock &described : m_blocks) {
        ConfigurationFile::Block block{described.table, described.start, {}, {}};
        for (const ConfigurationField &field : described.fields)
            block.fields.append(field.name);
        if (!readBlock(described.table, described.start, described.count(), &block.values)) {
            return {Status::ReadFailed,
                    tr("Reading %1 failed: %2").arg(fieldAt(block, 0), reason())};
        }
        read.blocks.append(block);
    }
    quint16 major = 0;
    quint16 minor = 0;
    if (m_client && m_client->readVersion(major, minor))
        read.firmwareVersion = QStringLiteral("%1.%2").arg(major).arg(minor);
    read.savedAt = QDateTime::currentDateTimeUtc();
    *file = read;
    return {};
}

ConfigurationTransfer::Result ConfigurationTransfer::compare(const ConfigurationFile &file,
                                                             QList<Row> *rows, bool withSerial)
{
    QList<Row> compared;
    for (const ConfigurationFile::Block &block : file.blocks) {
        const ConfigurationBlock *described = describedBlock(block);
        QList<quint16> device;
        if (!described || !readBlock(block.table, block.start, block.values.size(), &device)) {
            return {Status::ReadFailed,
                    tr("Reading %1 failed: %2").arg(fieldAt(block, 0), reason())};
        }
        int offset = 0;
        for (const ConfigurationField &field : described->fields) {
            Row row;
            row.field = field.name;
            row.label = field.label(labelContext());
            row.table = block.table;
            row.address = quint16(block.start + offset);
            row.isSigned = field.isSigned;
            row.isSerial = isSerialRegister(block.table, row.address);
            row.device = device.mid(offset, field.count);
            row.file = block.values.mid(offset, field.count);
            row.differs = row.device != row.file && (withSerial || !row.isSerial);
            compared.append(row);
            offset += field.count;
        }
    }
    *rows = compared;
    return {};
}

ConfigurationTransfer::Result ConfigurationTransfer::restore(const ConfigurationFile &file,
                                                             const Options &options)
{
    Result result;
    for (const ConfigurationFile::Block &block : file.blocks) {
        QList<quint16> device;
        if (!describedBlock(block)
            || !readBlock(block.table, block.start, block.values.size(), &device)) {
            return {Status::ReadFailed,
                    tr("Reading %1 failed: %2").arg(fieldAt(block, 0), reason()),
                    result.blocksWritten};
        }
        const QList<quint16> wanted = target(block, device, options.applySerial);
        if (wanted == device)
            continue;
        if (!writeBlock(block.table, block.start, wanted)) {
            return {Status::WriteFailed,
                    tr("Writing %1 failed: %2").arg(fieldAt(block, 0), reason()),
                    result.blocksWritten};
        }
        ++result.blocksWritten;
        QList<quint16> readBack;
        if (!readBlock(block.table, block.start, wanted.size(), &readBack)) {
            return {Status::ReadFailed,
                    tr("Reading %1 back failed: %2").arg(fieldAt(block, 0), reason()),
                    result.blocksWritten};
        }
        for (int i = 0; i < wanted.size(); ++i) {
            if (readBack.at(i) != wanted.at(i)) {
                return {Status::VerifyFailed,
                        tr("%1 was written as %2, but the device holds %3.")
                            .arg(fieldAt(block, i))
                            .arg(wanted.at(i))
                            .arg(readBack.at(i)),
                        result.blocksWritten};
            }
        }
    }
    if (options.save
        && (!m_client || !m_client->writeRegister(m_plugin->saveRegisterAddress(), SaveCommand))) {
        return {Status::SaveFailed,
                tr("The device did not take the save command: %1").arg(reason()),
                result.blocksWritten};
    }
    return result;
}

QString ConfigurationTransfer::valueText(const Row &row, const QList<quint16> &values)
{
    if (values.size() == 1)
        return QString::number(row.isSigned ? int(qint16(values.first())) : int(values.first()));
    QStringList words;
    for (quint16 value : values)
        words.append(QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper());
    return words.join(QLatin1Char(' '));
}

const ConfigurationBlock *
ConfigurationTransfer::describedBlock(const ConfigurationFile::Block &block) const
{
    for (const ConfigurationBlock &described : m_blocks) {
        if (described.table == block.table && described.start == block.start
            && described.count() == block.values.size())
            return &described;
    }
    return nullptr;
}

bool ConfigurationTransfer::readBlock(ConfigurationBlock::Table table, quint16 start, int count,
                                      QList<quint16> *values)
{
    if (!m_client || !m_client->isConnected())
        return false;
    if (table == ConfigurationBlock::Table::Coils) {
        QList<bool> bits;
        if (!m_client->readCoils(start, quint16(count), bits))
            return false;
        *values = wordsOf(bits);
        return true;
    }
    return m_client->readHoldingRegisters(start, quint16(count), *values);
}

bool ConfigurationTransfer::writeBlock(ConfigurationBlock::Table table, quint16 start,
                                       const QList<quint16> &values)
{
    if (!m_client || !m_client->isConnected())
        return false;
    if (table == ConfigurationBlock::Table::Coils) {
        QList<bool> bits;
        for (quint16 value : values)
            bits.append(value != 0);
        return m_client->writeCoils(start, bits);
    }
    return m_client->writeRegisters(start, values);
}

bool ConfigurationTransfer::isSerialRegister(ConfigurationBlock::Table table,
                                             quint16 address) const
{
    const SerialRegisters serial = m_configuration->serialRegisters();
    return table == ConfigurationBlock::Table::HoldingRegisters
        && (address == serial.node || address == serial.baudIndex || address == serial.parity);
}

QList<quint16> ConfigurationTransfer::target(const ConfigurationFile::Block &block,
                                             const QList<quint16> &device, bool applySerial) const
{
    QList<quint16> wanted = block.values;
    for (int i = 0; i < wanted.size() && !applySerial; ++i) {
        if (isSerialRegister(block.table, quint16(block.start + i)))
            wanted[i] = device.at(i);
    }
    return wanted;
}

const char *ConfigurationTransfer::labelContext() const
{
    const auto *object = dynamic_cast<const QObject *>(m_plugin);
    return object ? object->metaObject()->className() : "ConfigurationBlock";
}

QString ConfigurationTransfer::fieldAt(const ConfigurationFile::Block &block, int offset) const
{
    if (const ConfigurationBlock *described = describedBlock(block)) {
        for (const ConfigurationField &field : described->fields) {
            if (offset < field.count)
                return field.label(labelContext());
            offset -= field.count;
        }
    }
    return QStringLiteral("%1 %2")
        .arg(ConfigurationFile::tableName(block.table))
        .arg(block.start + offset);
}

QString ConfigurationTransfer::reason() const
{
    if (!m_client || !m_client->isConnected())
        return str(Str::NotConnected);
    return m_client->lastError();
}
