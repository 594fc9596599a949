// Times a firmware upload of a 64 KiB image to the simulated bootloader, run as its own
// process with line timing at 115200 baud, and compares it with the time the frames
// alone need on the wire: for every exchange the request and reply bytes at 10 bits a
// byte and 3.5 character times of silence before each frame, plus the 3000 ms the
// bootloader is given after the first line. The upload runs without any window, in a
// plain QCoreApplication.

#include "BootloaderImage.h"
#include "FirmwareUploader.h"
#include "I18n.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int ImageBytes = 64 * 1024;
constexpr double BaudRate = 115200;
constexpr double BitsPerByte = 10;
constexpr double SilenceChars = 3.5;
constexpr double FirstLinePauseSeconds = 3.0;

// Request and reply sizes of the RTU frames of one exchange: address, function, CRC.
struct Exchange
{
    int requestBytes;
    int replyBytes;
};

Exchange readRegisters(int count)
{
    return {8, 5 + 2 * count};
}
Exchange writeRegisters(int count)
{
    return count == 1 ? Exchange{8, 8} : Exchange{9 + 2 * count, 8};
}

double wireSeconds(const QList<Exchange> &exchanges)
{
    const double charSeconds = BitsPerByte / BaudRate;
    double seconds = FirstLinePauseSeconds;
    for (const Exchange &exchange : exchanges)
        seconds += (exchange.requestBytes + exchange.replyBytes + 2 * SilenceChars) * charSeconds;
    return seconds;
}

// What an upload of `lines` puts on the wire when every exchange succeeds at once.
QList<Exchange> uploadExchanges(const QList<QByteArray> &lines)
{
    QList<Exchange> exchanges{readRegisters(3)}; // the bootloader answers the first poll
    for (const QByteArray &line : lines) {
        exchanges << writeRegisters(int(line.size()) / 2 + 1) // the line
                  << writeRegisters(2) // length and command
                  << readRegisters(1); // status
    }
    exchanges << writeRegisters(1); // exit command
    return exchanges;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    I18n::instance()->setLanguage(Lang::English);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QTemporaryDir dir;
    const QString imagePath = dir.filePath(QStringLiteral("bench.enc"));
    const QByteArray image = BootloaderImage::generate(ImageBytes);
    QFile imageFile(imagePath);
    if (!dir.isValid() || !imageFile.open(QIODevice::WriteOnly)
        || imageFile.write(image) != image.size()) {
        err << "Cannot write the image in " << dir.path() << Qt::endl;
        return 1;
    }
    imageFile.close();
    const QList<QByteArray> lines = BootloaderImage::linesToSend(image);

    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::MergedChannels);
    simulator.start(QStringLiteral(TAVROLIX_DEVSIM_PATH),
                    {QStringLiteral("--device"), QStringLiteral("bootloader"),
                     QStringLiteral("--virtual"), dir.filePath(QStringLiteral("line")),
                     QStringLiteral("--line-timing"), QStringLiteral("--expect"), imagePath});
    QByteArray simulatorOutput;
    while (!simulatorOutput.contains("Open this port")) {
        if (!simulator.waitForReadyRead(10000)) {
            err << "The simulator did not start: " << simulatorOutput << Qt::endl;
            return 1;
        }
        simulatorOutput += simulator.readAll();
    }

    FirmwareUploader uploader;
    QStringList log;
    QObject::connect(&uploader, &FirmwareUploader::logLine, &uploader,
                     [&log](FirmwareUploader::Level, const QString &line) { log << line; });
    if (!imageFile.open(QIODevice::ReadOnly)) {
        err << "Cannot read the image back" << Qt::endl;
        return 1;
    }

    out << "Uploading " << lines.size() << " lines (" << ImageBytes / 1024
        << " KiB of data) at 115200 baud..." << Qt::endl;
    QElapsedTimer clock;
    clock.start();
    const FirmwareUploader::Result result =
        uploader.upload(dir.filePath(QStringLiteral("line/configurator")), imageFile);
    const double measured = clock.nsecsElapsed() / 1e9;

    simulator.waitForReadyRead(2000);
    simulatorOutput += simulator.readAll();
    simulator.terminate();
    simulator.waitForFinished(5000);
    simulatorOutput += simulator.readAll();
    if (result != FirmwareUploader::Result::Success
        || !simulatorOutput.contains("Image matches")) {
        err << "The upload failed.\nFirmware log:\n"
            << log.join(QLatin1Char('\n')) << "\nSimulator:\n"
            << simulatorOutput << Qt::endl;
        return 1;
    }

    const QList<Exchange> exchanges = uploadExchanges(lines);
    const double limit = wireSeconds(exchanges);
    out << QString::asprintf("Measured:        %8.3f s\n", measured)
        << QString::asprintf("Wire-time limit: %8.3f s (%lld exchanges, 3.000 s pause included)\n",
                             limit, qlonglong(exchanges.size()))
        << QString::asprintf("Ratio:           %8.3f\n", measured / limit)
        << QString::asprintf("Per line:        %8.3f ms measured, %.3f ms on the wire\n",
                             (measured - FirstLinePauseSeconds) * 1000 / lines.size(),
                             (limit - FirstLinePauseSeconds) * 1000 / lines.size());
    return 0;
}
