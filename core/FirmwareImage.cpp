#include "FirmwareImage.h"

#include "I18n.h"

#include <QFileDevice>
#include <QStringView>

#include <array>

namespace {

constexpr int ChecksumReadSize = 256;
constexpr int UploadReadSize = 1024;

constexpr std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 index = 0; index < 256; ++index) {
        quint32 crc = index << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[index] = crc;
    }
    return table;
}

constexpr std::array<quint32, 256> CrcTable = makeCrcTable();

QString hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0'));
}

// Appends the data bytes of a type-00 record; positions count the ':' as the first.
void collectDataBytes(QStringView record, QByteArray &collected)
{
    bool ok = false;
    const int count = record.mid(1, 2).toInt(&ok, 16);
    if (!ok || record.size() < 11 + 2 * count)
        return;
    const int type = record.mid(7, 2).toInt(&ok, 16);
    if (!ok || type != 0 || count <= 0)
        return;
    for (int i = 0; i < count; ++i) {
        const int value = record.mid(9 + 2 * i, 2).toInt(&ok, 16);
        if (ok)
            collected.append(char(value));
    }
}

} // namespace

QString FirmwareImage::Check::message() const
{
    const I18n *texts = I18n::instance();
    switch (verdict) {
    case Verdict::Verified:
        return texts->tr(Str::FwOkChecksum).arg(hex8(computed)).toUpper();
    case Verdict::Mismatch: {
        // The stored value goes into a text that is already upper case, words and all.
        const QString computedFirst =
            texts->tr(Str::FwErrChecksumMismatch).arg(hex8(computed)).toUpper();
        return computedFirst.arg(hex8(stored)).toUpper();
    }
    case Verdict::NoChecksum:
        break;
    }
    return texts->tr(Str::FwErrNoChecksum);
}

FirmwareImage::FirmwareImage(QFileDevice &file)
    : m_file(file)
{
}

quint32 FirmwareImage::crc32(const uchar *data, uint len)
{
    quint32 crc = 0xFFFFFFFFu;
    for (uint i = 0; i < len; ++i)
        crc = (crc << 8) ^ CrcTable[((crc >> 24) ^ data[i]) & 0xFFu];
    return crc;
}

FirmwareImage::Check FirmwareImage::verifyChecksum()
{
    m_file.seek(0);
    QByteArray collected;
    bool found = false;
    Check check;

    // Lines longer than the buffer arrive in pieces, each taken as a line of its own.
    char buffer[ChecksumReadSize];
    for (;;) {
        const qint64 length = m_file.readLine(buffer, sizeof buffer);
        if (length <= 0)
            break;
        const QString text = QString::fromUtf8(buffer, length).trimmed();
        if (text.startsWith(QLatin1String("#CRC32:"))) {
            bool ok = false;
            const uint value = QStringView(text).mid(7).toUInt(&ok, 16);
            found = ok;
            check.stored = ok ? value : 0;
        } else if (text.startsWith(QLatin1Char(':')) && text.size() >= 10) {
            collectDataBytes(text, collected);
        }
    }
    m_file.seek(0);

    if (!found)
        return check;
    check.computed =
        crc32(reinterpret_cast<const uchar *>(collected.constData()), uint(collected.size()));
    check.verdict = check.computed == check.stored ? Verdict::Verified : Verdict::Mismatch;
    return check;
}

void FirmwareImage::rewind()
{
    m_file.seek(0);
    m_file.unsetError();
}

FirmwareImage::Read FirmwareImage::readLine(QByteArray &line)
{
    char buffer[UploadReadSize];
    const qint64 read = m_file.readLine(buffer, sizeof buffer);
    if (read <= 0) {
        line.clear();
        return m_file.error() == QFileDevice::NoError ? Read::End : Read::Failed;
    }
    qint64 length = 0;
    while (length < read && buffer[length] != '\r' && buffer[length] != '\n')
        ++length;
    line = QByteArray(buffer, length);
    return Read::Line;
}

bool FirmwareImage::isSent(const QByteArray &line)
{
    return !line.isEmpty() && !line.startsWith('#');
}

int FirmwareImage::percentRead() const
{
    const qint64 size = m_file.size();
    return size > 0 ? int(qMin<qint64>(100, m_file.pos() * 100 / size)) : 0;
}
