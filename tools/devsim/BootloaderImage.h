#pragma once

#include <QByteArray>
#include <QList>

// Firmware image files (".enc": Intel HEX lines and a "#CRC32:" record) as the simulated
// bootloader sees them: made up for samples and benchmarks, and read back to tell
// whether an upload delivered a file intact. Independent of the configurator's own
// reading of the file, so the two check each other.
class BootloaderImage
{
public:
    // An image of `dataBytes` pseudo-random bytes (the same for the same `seed`) in data
    // records of `recordBytes`, an extended linear address record before every 64 KiB,
    // the end-of-file record and the checksum record, lines ended by LF.
    static QByteArray generate(int dataBytes, quint32 seed = 1, int recordBytes = 16);

    // One Intel HEX record with its record checksum, e.g. record(1, 0, {}) is the
    // end-of-file record ":00000001FF".
    static QByteArray record(int type, quint16 address, const QByteArray &data);

    // The lines an upload sends, in order: each line cut at its first CR or LF, empty
    // lines and lines that start with '#' left out.
    static QList<QByteArray> linesToSend(const QByteArray &contents);

    // The data bytes of the well-formed type-00 records among `lines`, in order.
    static QByteArray dataBytes(const QList<QByteArray> &lines);

    // CRC-32/MPEG-2, the checksum of the "#CRC32:" record, computed bit by bit.
    static quint32 crc32(const QByteArray &data);
};
