#pragma once

#include "DeviceConfiguration.h"
#include "TavrolixCoreExport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The settings of one device as a file (JSON, ".tavcfg"): what the device is, when and
// where it was read, and the values of its configuration blocks.
class TAVROLIX_CORE_EXPORT ConfigurationFile
{
    Q_DECLARE_TR_FUNCTIONS(ConfigurationFile)

public:
    static constexpr int FormatVersion = 1;
    static const char *formatName() { return "tavrolix-configuration"; }
    static QString suffix() { return QStringLiteral("tavcfg"); }

    struct Block
    {
        ConfigurationBlock::Table table = ConfigurationBlock::Table::HoldingRegisters;
        quint16 start = 0;
        QStringList fields; // for whoever reads the file; not checked on reading
        QList<quint16> values; // coils as 0 and 1
    };

    quint16 signature = 0;
    QString deviceName;
    QString firmwareVersion; // "major.minor", or empty
    int node = 0; // the line setting the device was read at
    int baudRate = 0;
    char parity = 'N';
    QDateTime savedAt;
    QString note;
    QList<Block> blocks;

    QByteArray toJson() const;
    // False with `error` set when `json` is not a configuration file this program reads.
    bool fromJson(const QByteArray &json, QString *error);
    // Through a temporary file renamed into place: a failed save leaves no half file.
    bool save(const QString &path, QString *error) const;
    bool load(const QString &path, QString *error);
    // False with `error` set when the file is not for a device with `signature` whose
    // configuration is `described` (named `deviceName` in the message).
    bool fits(quint16 signature, const QString &deviceName,
              const QList<ConfigurationBlock> &described, QString *error) const;

    static QString tableName(ConfigurationBlock::Table table);
};
