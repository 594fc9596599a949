// libFuzzer target for the firmware image check: any file content, however malformed,
// must be read without a memory error, end with the file back at its start and give one
// verdict line that agrees with the values it reports. No application object: the check
// needs nothing but Qt Core.

#include "FirmwareImage.h"
#include "I18n.h"

#include <QTemporaryFile>

#include <cstdint>
#include <cstdlib>

namespace {

struct Harness
{
    Harness()
    {
        I18n::instance()->setLanguage(Lang::English);
        if (!file.open())
            std::abort();
    }

    QTemporaryFile file;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Harness harness;
    QFile &file = harness.file;
    if (!file.resize(0) || !file.seek(0)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size)
        || !file.flush()) {
        std::abort();
    }

    const FirmwareImage::Check check = FirmwareImage(file).verifyChecksum();

    const bool found = check.verdict != FirmwareImage::Verdict::NoChecksum;
    const QString line = check.message();
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));
    if (file.pos() != 0 || line.contains(QLatin1Char('\n'))
        || check.verified() != line.contains(QLatin1String("CHECKSUM VERIFIED"))
        || (found && !contents.contains("#CRC32:"))
        || (found && check.verified() != (check.computed == check.stored))) {
        std::abort();
    }
    return 0;
}
