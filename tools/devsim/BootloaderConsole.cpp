#include "BootloaderConsole.h"

#include "BootloaderImage.h"
#include "BootloaderSimulator.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <QTimer>

namespace {

const QString DeviceName = QStringLiteral("bootloader");
const QString ExpectOption = QStringLiteral("expect");
const QString BootPollsOption = QStringLiteral("boot-polls");
const QString MakeImageOption = QStringLiteral("make-image");
const QString ImageSizeOption = QStringLiteral("image-size");
// Options of the simulator program that the bootloader mode shares.
const QString DeviceOption = QStringLiteral("device");
const QString VersionOption = QStringLiteral("firmware");
const QString TimingOption = QStringLiteral("line-timing");

constexpr int MaxImageSize = 16 * 1024 * 1024;
constexpr int ProgressEvery = 100;
constexpr int RestartDelayMs = 200;

QString hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

int writeImage(const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
{
    bool ok = false;
    const int size = parser.value(ImageSizeOption).toInt(&ok);
    if (!ok || size <= 0 || size > MaxImageSize) {
        err << "Invalid image size: " << parser.value(ImageSizeOption) << Qt::endl;
        return 2;
    }
    const QString path = parser.value(MakeImageOption);
    const QByteArray image = BootloaderImage::generate(size);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(image) != image.size()
        || !file.flush()) {
        err << "Cannot write " << path << ": " << file.errorString() << Qt::endl;
        return 1;
    }
    const QList<QByteArray> lines = BootloaderImage::linesToSend(image);
    out << "Wrote " << path << ": " << size << " data bytes in " << lines.size()
        << " lines, CRC-32 " << hex8(BootloaderImage::crc32(BootloaderImage::dataBytes(lines)))
        << Qt::endl;
    return 0;
}

void reportImage(QTextStream &out, const QList<QByteArray> &received, const QString &expectPath,
                 const QList<QByteArray> &expected)
{
    qsizetype characters = 0;
    for (const QByteArray &line : received)
        characters += line.size();
    const QByteArray data = BootloaderImage::dataBytes(received);
    out << "Exit command received. Image: " << received.size() << " lines, " << characters
        << " characters, " << data.size() << " data bytes, CRC-32 of the data "
        << hex8(BootloaderImage::crc32(data)) << Qt::endl;
    if (expectPath.isEmpty())
        return;

    if (received == expected) {
        out << "Image matches " << expectPath << Qt::endl;
        return;
    }
    out << "Image does NOT match " << expectPath << ": ";
    const qsizetype common = qMin(received.size(), expected.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (received.at(i) != expected.at(i)) {
            out << "line " << i + 1 << " is \"" << QString::fromLatin1(received.at(i))
                << "\", the file has \"" << QString::fromLatin1(expected.at(i)) << "\""
                << Qt::endl;
            return;
        }
    }
    out << received.size() << " lines received, the file has " << expected.size() << Qt::endl;
}

} // namespace

void BootloaderConsole::addOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {ExpectOption,
         QStringLiteral("With --device bootloader: after each upload, say whether the image"
                        " received matches <file>."),
         QStringLiteral("file")},
        {BootPollsOption,
         QStringLiteral("With --device bootloader: leave the first <n> identity reads"
                        " unanswered, as a module that is still restarting."),
         QStringLiteral("n"), QStringLiteral("0")},
        {MakeImageOption,
         QStringLiteral("Write a firmware image file of random data (see --image-size) to"
                        " <file> and exit."),
         QStringLiteral("file")},
        {ImageSizeOption, QStringLiteral("Data bytes of the image --make-image writes."),
         QStringLiteral("bytes"), QStringLiteral("2048")},
    });
}

bool BootloaderConsole::makesImage(const QCommandLineParser &parser)
{
    return parser.isSet(MakeImageOption);
}

int BootloaderConsole::makeImage(const QCommandLineParser &parser)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    return writeImage(parser, out, err);
}

bool BootloaderConsole::isRequested(const QCommandLineParser &parser)
{
    return parser.value(DeviceOption).compare(DeviceName, Qt::CaseInsensitive) == 0;
}

int BootloaderConsole::run(QCoreApplication &app, const QCommandLineParser &parser,
                           const QString &devicePort, const QString &configuratorPort,
                           SignalSetup quitOnSignals, const std::function<void()> &restart)
{
    QTextStream out(stdout);
    QTextStream err(stderr);

    const QStringList version = parser.isSet(VersionOption)
        ? parser.value(VersionOption).split(QLatin1Char('.'))
        : QStringList{QStringLiteral("2"), QStringLiteral("0")};
    bool majorOk = false;
    bool minorOk = false;
    const uint major = version.value(0).toUInt(&majorOk);
    const uint minor = version.value(1).toUInt(&minorOk);
    bool pollsOk = false;
    const int bootPolls = parser.value(BootPollsOption).toInt(&pollsOk);
    if (version.size() != 2 || !majorOk || !minorOk || major > 0xFFFF || minor > 0xFFFF || !pollsOk
        || bootPolls < 0) {
        err << "Invalid bootloader version or boot polls." << Qt::endl;
        return 2;
    }
    const QString expectPath = parser.value(ExpectOption);
    QList<QByteArray> expected;
    if (!expectPath.isEmpty()) {
        QFile file(expectPath);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "Cannot read " << expectPath << ": " << file.errorString() << Qt::endl;
            return 2;
        }
        expected = BootloaderImage::linesToSend(file.readAll());
    }

    BootloaderSimulator bootloader;
    bootloader.setVersion(quint16(major), quint16(minor));
    bootloader.setBootDelay(bootPolls);
    bootloader.setLineTiming(parser.isSet(TimingOption));
    if (!bootloader.start(devicePort)) {
        err << "Cannot open " << devicePort << ": " << bootloader.errorString() << Qt::endl;
        return 1;
    }

    out << "Simulated bootloader v" << major << "." << minor << ", unit "
        << BootloaderSimulator::UnitAddress << ", " << BootloaderSimulator::BaudRate << " 8N1, on "
        << devicePort << Qt::endl;
    if (!configuratorPort.isEmpty()) {
        out << "Open this port (type it into the firmware window's port box): " << configuratorPort
            << Qt::endl;
    }

    QObject::connect(&bootloader, &BootloaderSimulator::lineProgrammed, &app,
                     [&out](int line, const QByteArray &, quint16 status) {
                         if (line == 1)
                             out << "Receiving an image..." << Qt::endl;
                         else if (line % ProgressEvery == 0)
                             out << "  " << line << " lines" << Qt::endl;
                         if (status != BootloaderSimulator::LineWritten)
                             out << "Line " << line << " refused (status " << status << ")"
                                 << Qt::endl;
                     });
    QObject::connect(&bootloader, &BootloaderSimulator::exitCommandReceived, &app,
                     [&out, &bootloader, &expectPath, &expected, &restart] {
                         reportImage(out, bootloader.receivedLines(), expectPath, expected);
                         if (!restart)
                             return;
                         // The reply to the exit command leaves first.
                         QTimer::singleShot(RestartDelayMs, &bootloader, [&bootloader, restart] {
                             bootloader.stop();
                             restart();
                         });
                     });

    quitOnSignals(app);
    const int code = app.exec();
    bootloader.stop();
    out << "Simulator stopped." << Qt::endl;
    return code;
}
