#include "BootloaderImage.h"

namespace {

constexpr int RecordTypeData = 0x00;
constexpr int RecordTypeEndOfFile = 0x01;
constexpr int RecordTypeExtendedLinearAddress = 0x04;
constexpr int SegmentSize = 0x10000;

} // namespace

QByteArray BootloaderImage::record(int type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char byte : bytes)
        sum = quint8(sum + quint8(byte));
    bytes.append(char(quint8(-sum)));
    return ':' + bytes.toHex().toUpper();
}

QByteArray BootloaderImage::generate(int dataBytes, quint32 seed, int recordBytes)
{
    QByteArray image;
    image += "# Tavrolix sample firmware image, made by tavrolix-devsim --make-image.\n"
             "# Its data is random: it exercises the upload, it is no program.\n";

    QByteArray data;
    data.reserve(dataBytes);
    quint32 state = seed;
    for (int i = 0; i < dataBytes; ++i) {
        state = state * 1664525u + 1013904223u;
        data.append(char(state >> 24));
    }

    for (int offset = 0; offset < dataBytes; offset += recordBytes) {
        if (offset % SegmentSize == 0) {
            const quint16 segment = quint16(offset / SegmentSize);
            QByteArray upper;
            upper.append(char(segment >> 8));
            upper.append(char(segment & 0xFF));
            image += record(RecordTypeExtendedLinearAddress, 0, upper) + '\n';
        }
        const QByteArray chunk = data.mid(offset, qMin(recordBytes, dataBytes - offset));
        image += record(RecordTypeData, quint16(offset % SegmentSize), chunk) + '\n';
    }
    image += record(RecordTypeEndOfFile, 0, {}) + '\n';
    image +=
        "#CRC32:" + QByteArray::number(crc32(data), 16).rightJustified(8, '0').toUpper() + '\n';
    return image;
}

QList<QByteArray> BootloaderImage::linesToSend(const QByteArray &contents)
{
    QList<QByteArray> lines;
    for (const QByteArray &raw : contents.split('\n')) {
        const qsizetype cr = raw.indexOf('\r');
        const QByteArray line = cr < 0 ? raw : raw.left(cr);
        if (!line.isEmpty() && !line.startsWith('#'))
            lines.append(line);
    }
    return lines;
}

QByteArray BootloaderImage::dataBytes(const QList<QByteArray> &lines)
{
    QByteArray data;
    for (const QByteArray &line : lines) {
        if (!line.startsWith(':'))
            continue;
        const QByteArray bytes = QByteArray::fromHex(line.mid(1));
        if (bytes.size() < 5 || bytes.at(3) != RecordTypeData)
            continue;
        const int count = quint8(bytes.at(0));
        if (bytes.size() == count + 5 && line.size() == 11 + 2 * count)
            data += bytes.mid(4, count);
    }
    return data;
}

quint32 BootloaderImage::crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : data) {
        crc ^= quint32(quint8(byte)) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}
