// libFuzzer target for the GSM modem's texts: any register contents must decode to at
// most the characters asked for, each of which writes back as its own byte or '?'; any
// message file must import without a memory error into trimmed messages of at most 60
// characters, and exporting and importing those again must give them back unchanged.

#include "GsmModemWidget.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

struct Harness
{
    Harness()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_sms_import";
        static char *argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        widget = new GsmModemWidget(nullptr);
        for (int k = 1; k <= GsmModemWidget::MessageCount; ++k) {
            edits[k - 1] = widget->findChild<QLineEdit *>(QStringLiteral("smsEdit%1").arg(k));
            if (!edits[k - 1])
                std::abort();
        }
        if (!dir.isValid())
            std::abort();
    }

    QStringList messages() const
    {
        QStringList texts;
        for (QLineEdit *edit : edits)
            texts << edit->text();
        return texts;
    }

    QApplication *app = nullptr;
    GsmModemWidget *widget = nullptr;
    QLineEdit *edits[GsmModemWidget::MessageCount] = {};
    QTemporaryDir dir;
};

void checkDecoding(GsmModemWidget *widget, const QByteArray &bytes)
{
    QList<ushort> registers;
    for (qsizetype i = 1; i + 1 < bytes.size(); i += 2)
        registers.append(ushort(uchar(bytes[i]) | uchar(bytes[i + 1]) << 8));
    const int maxChars = bytes.isEmpty() ? 60 : uchar(bytes[0]) % 70;
    const QString text = widget->fromWindows1251(registers, maxChars);
    if (text.size() > maxChars || text.size() > 2 * registers.size())
        std::abort();
    const QByteArray field = bytes.mid(1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char byte = GsmModemWidget::unicodeToWin1251(text[i]);
        if (field[i] == 0 || (byte != field[i] && byte != '?'))
            std::abort();
    }
    // Ended early only by a zero byte.
    if (text.size() < maxChars && text.size() < 2 * registers.size() && field[text.size()] != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Harness harness;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkDecoding(harness.widget, bytes);

    const QString in = harness.dir.filePath(QStringLiteral("in.txt"));
    const QString out = harness.dir.filePath(QStringLiteral("out.txt"));
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
    file.close();
    if (!harness.widget->importSmsFile(in))
        std::abort();
    const QStringList imported = harness.messages();
    bool wellFormed = true;
    for (const QString &text : imported) {
        if (text.size() > 60 || text != text.trimmed())
            std::abort();
        wellFormed = wellFormed && text.isValidUtf16();
    }
    if (!harness.widget->exportSmsFile(out) || !harness.widget->importSmsFile(out))
        std::abort();
    // A line break inside a message travels as a blank; UTF-8 cannot carry half a
    // surrogate pair, which only a UTF-16 file can bring in.
    QStringList expected;
    for (QString text : imported)
        expected << text.replace(QLatin1Char('\r'), QLatin1Char(' '))
                        .replace(QLatin1Char('\n'), QLatin1Char(' '))
                        .trimmed();
    if (wellFormed && harness.messages() != expected)
        std::abort();
    return 0;
}
