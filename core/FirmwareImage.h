#pragma once

#include "TavrolixCoreExport.h"

#include <QByteArray>
#include <QString>

class QFileDevice;

// A firmware image file (".enc"): Intel HEX text lines and a "#CRC32:" record holding the
// CRC-32/MPEG-2 of the data bytes of every type-00 record, in file order. Checks the file
// and reads it line by line for the upload; needs nothing but Qt Core. The file is the
// caller's: it stays open, is never closed here and must outlive this object.
class TAVROLIX_CORE_EXPORT FirmwareImage
{
public:
    enum class Verdict { Verified, NoChecksum, Mismatch };

    struct Check
    {
        Verdict verdict = Verdict::NoChecksum;
        quint32 computed = 0;
        quint32 stored = 0;

        bool verified() const { return verdict == Verdict::Verified; }
        // The verdict as one log line in the current language.
        QString message() const;
    };

    enum class Read { Line, End, Failed };

    explicit FirmwareImage(QFileDevice &file);

    // CRC-32/MPEG-2 of `len` bytes at `data`: 0xFFFFFFFF for no data.
    static quint32 crc32(const uchar *data, uint len);

    // Compares the last "#CRC32:" record with the data records and leaves the file
    // positioned at its start.
    Check verifyChecksum();

    // Back to the first line, with an earlier read error forgotten.
    void rewind();
    // The next line, cut at its first CR or LF, in pieces of at most 1023 bytes. End
    // of file and a read error (a medium pulled) are told apart.
    Read readLine(QByteArray &line);
    // Whether the upload sends `line`: neither empty nor a comment or checksum record.
    static bool isSent(const QByteArray &line);
    // How much of the file has been read, 0 to 100.
    int percentRead() const;

private:
    QFileDevice &m_file;
};
