#include "ConfigurationFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {

bool tableFromName(const QString &name, ConfigurationBlock::Table *table)
{
    for (auto t :
         {ConfigurationBlock::Table::HoldingRegisters, ConfigurationBlock::Table::Coils}) {
        if (name == ConfigurationFile::tableName(t)) {
            *table = t;
            return true;
        }
    }
    return false;
}

bool isWhole(const QJsonValue &value, double low, double high)
{
    const double d = value.toDouble(-1.0);
    return value.isDouble() && d >= low && d <= high && d == double(qint64(d));
}

} // namespace

QString ConfigurationFile::tableName(ConfigurationBlock::Table table)
{
    return table == ConfigurationBlock::Table::Coils ? QStringLiteral("coils")
                                                     : QStringLiteral("holding");
}

QByteArray ConfigurationFile::toJson() const
{
    QJsonArray blockArray;
    for (const Block &block : blocks) {
        QJsonArray values;
        for (quint16 value : block.values)
            values.append(int(value));
        blockArray.append(QJsonObject{
            {QStringLiteral("table"), tableName(block.table)},
            {QStringLiteral("start"), int(block.start)},
            {QStringLiteral("fields"), QJsonArray::fromStringList(block.fields)},
            {QStringLiteral("values"), values},
        });
    }
    const QJsonObject root{
        {QStringLiteral("format"), QLatin1String(formatName())},
        {QStringLiteral("version"), FormatVersion},
        {QStringLiteral("signature"), int(signature)},
        {QStringLiteral("device"), deviceName},
        {QStringLiteral("firmware"), firmwareVersion},
        {QStringLiteral("line"),
         QJsonObject{{QStringLiteral("node"), node},
                     {QStringLiteral("baud"), baudRate},
                     {QStringLiteral("parity"), QString(QLatin1Char(parity))}}},
        {QStringLiteral("saved"), savedAt.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("note"), note},
        {QStringLiteral("blocks"), blockArray},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool ConfigurationFile::fromJson(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = tr("The file is damaged or incomplete: %1 at byte %2.")
                     .arg(parseError.errorString())
                     .arg(parseError.offset);
        return false;
    }
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(formatName())) {
        *error = tr("The file is not a Tavrolix configuration file.");
        return false;
    }
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!isWhole(version, 1, 1e9)) {
        *error = tr("The file does not say which format version it has.");
        return false;
    }
    if (version.toInt() > FormatVersion) {
        *error = tr("The file has format version %1; this program reads version %2 and older.")
                     .arg(version.toInt())
                     .arg(FormatVersion);
        return false;
    }
    const QJsonValue signatureValue = root.value(QStringLiteral("signature"));
    const QJsonValue blockValues = root.value(QStringLiteral("blocks"));
    if (!isWhole(signatureValue, 0, 0xFFFF) || !blockValues.isArray()) {
        *error = tr("The file has no device signature or no blocks.");
        return false;
    }

    QList<Block> parsed;
    for (const QJsonValue &blockValue : blockValues.toArray()) {
        const QJsonObject object = blockValue.toObject();
        Block block;
        const QJsonValue start = object.value(QStringLiteral("start"));
        const QJsonValue values = object.value(QStringLiteral("values"));
        if (!tableFromName(object.value(QStringLiteral("table")).toString(), &block.table)
            || !isWhole(start, 0, 0xFFFF) || !values.isArray()) {
            *error = tr("Block %1 of the file has no table, start address or values.")
                         .arg(parsed.size() + 1);
            return false;
        }
        block.start = quint16(start.toInt());
        const double highest = block.table == ConfigurationBlock::Table::Coils ? 1 : 0xFFFF;
        for (const QJsonValue &value : values.toArray()) {
            if (!isWhole(value, 0, highest)) {
                *error = tr("The value at %1 %2 is not a number from 0 to %3.")
                             .arg(tableName(block.table))
                             .arg(block.start + block.values.size())
                             .arg(highest);
                return false;
            }
            block.values.append(quint16(value.toInt()));
        }
        for (const QJsonValue &field : object.value(QStringLiteral("fields")).toArray())
            block.fields.append(field.toString());
        parsed.append(block);
    }

    const QJsonObject line = root.value(QStringLiteral("line")).toObject();
    signature = quint16(signatureValue.toInt());
    deviceName = root.value(QStringLiteral("device")).toString();
    firmwareVersion = root.value(QStringLiteral("firmware")).toString();
    node = line.value(QStringLiteral("node")).toInt();
    baudRate = line.value(QStringLiteral("baud")).toInt();
    const QString parityText = line.value(QStringLiteral("parity")).toString();
    parity = parityText.size() == 1 ? parityText.at(0).toLatin1() : 'N';
    savedAt = QDateTime::fromString(root.value(QStringLiteral("saved")).toString(), Qt::ISODate);
    note = root.value(QStringLiteral("note")).toString();
    blocks = parsed;
    return true;
}

bool ConfigurationFile::save(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson()) < 0 || !file.commit()) {
        *error = tr("Could not write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool ConfigurationFile::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("Could not read %1: %2").arg(path, file.errorString());
        return false;
    }
    return fromJson(file.readAll(), error);
}

bool ConfigurationFile::fits(quint16 deviceSignature, const QString &name,
                             const QList<ConfigurationBlock> &described, QString *error) const
{
    if (signature != deviceSignature) {
        const QString type = deviceName.isEmpty()
                               ? tr("device type %1").arg(signature)
                               : tr("%1 (device type %2)").arg(deviceName).arg(signature);
        *error = tr("The file is for %1, not for the %2.").arg(type, name);
        return false;
    }
    for (const Block &block : blocks) {
        const bool known =
            std::any_of(described.begin(), described.end(), [&block](const ConfigurationBlock &b) {
                return b.table == block.table && b.start == block.start
                    && b.count() == block.values.size();
            });
        if (!known) {
            *error = tr("The file has %1 values at %2 %3, which the %4 does not keep.")
                         .arg(block.values.size())
                         .arg(tableName(block.table))
                         .arg(block.start)
                         .arg(name);
            return false;
        }
    }
    return true;
}
