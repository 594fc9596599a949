// libFuzzer target for the firmware image check: any file content, however malformed,
// must be read without a memory error, end with the file back at its start and leave
// exactly one verdict line in the firmware log.

#include "FirmwareWidget.h"
#include "I18n.h"

#include <QApplication>
#include <QTemporaryFile>
#include <QTextDocument>
#include <QTextEdit>

#include <cstdint>
#include <cstdlib>

namespace {

struct Harness
{
    Harness()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_firmware_image";
        static char *argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        I18n::instance()->setLanguage(Lang::English);
        widget = new FirmwareWidget;
        log = widget->findChild<QTextEdit *>(QStringLiteral("firmwareLog"));
        if (!log || !file.open())
            std::abort();
    }

    QApplication *app = nullptr;
    FirmwareWidget *widget = nullptr;
    QTextEdit *log = nullptr;
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
    harness.log->clear();

    const bool verified = harness.widget->fwVerifyChecksum(file);

    const QStringList lines = harness.log->document()->toPlainText().split(QLatin1Char('\n'));
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));
    if (file.pos() != 0 || lines.size() != 1
        || verified != lines.constFirst().contains(QLatin1String("CHECKSUM VERIFIED"))
        || (verified && !contents.contains("#CRC32:"))) {
        std::abort();
    }
    return 0;
}
