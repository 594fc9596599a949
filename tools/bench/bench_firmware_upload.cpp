// Times a firmware upload of a 64 KiB image to the simulated bootloader, run as its own
// process with line timing at 115200 baud, against the same exchanges sent by a plain
// toolkit loop and the time the frames alone need on the wire (see BareToolkitLoop), plus
// the 3000 ms the bootloader is given after the first line. The upload runs without any
// window, in a plain QCoreApplication.

#include "BareToolkitLoop.h"
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
constexpr int BaudRate = 115200;
constexpr double FirstLinePauseSeconds = 3.0;

// The bootloader simulator on a fresh virtual line in `dir`; false with `err` written.
bool startSimulator(QProcess &simulator, QByteArray &output, const QString &dir,
                    const QString &imagePath, QTextStream &err)
{
    simulator.setProcessChannelMode(QProcess::MergedChannels);
    simulator.start(QStringLiteral(TAVROLIX_DEVSIM_PATH),
                    {QStringLiteral("--device"), QStringLiteral("bootloader"),
                     QStringLiteral("--virtual"), dir, QStringLiteral("--line-timing"),
                     QStringLiteral("--expect"), imagePath});
    while (!output.contains("Open this port")) {
        if (!simulator.waitForReadyRead(10000)) {
            err << "The simulator did not start: " << output << Qt::endl;
            return false;
        }
        output += simulator.readAll();
    }
    // It prints as it goes: a full pipe would stall it.
    QObject::connect(&simulator, &QProcess::readyRead, &simulator,
                     [&simulator, &output] { output += simulator.readAll(); });
    return true;
}

// Ends the simulator; true when it reported the image it expected.
bool imageMatched(QProcess &simulator, QByteArray &output)
{
    simulator.waitForReadyRead(2000);
    output += simulator.readAll();
    simulator.terminate();
    simulator.waitForFinished(5000);
    output += simulator.readAll();
    return output.contains("Image matches");
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
    QByteArray output;
    if (!startSimulator(simulator, output, dir.filePath(QStringLiteral("line")), imagePath, err))
        return 1;

    FirmwareUploader uploader;
    QStringList log;
    QObject::connect(&uploader, &FirmwareUploader::logLine, &uploader,
                     [&log](FirmwareUploader::Level, const QString &line) { log << line; });
    QList<ModbusExchange> exchanges;
    QObject::connect(&uploader, &FirmwareUploader::exchangeFinished, &uploader,
                     [&exchanges](const ModbusExchange &e) { exchanges << e; });
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

    if (result != FirmwareUploader::Result::Success || !imageMatched(simulator, output)) {
        err << "The upload failed.\nFirmware log:\n" << log.join(QLatin1Char('\n')) << Qt::endl;
        return 1;
    }

    // The same exchanges from a plain toolkit loop, the first line's pause included.
    int pauseAfter = -1;
    for (int i = 0; i < exchanges.size() && pauseAfter < 0; ++i) {
        if (exchanges[i].ok() && exchanges[i].functionCode == 0x10 && exchanges[i].start == 101)
            pauseAfter = i;
    }
    QProcess bareSimulator;
    QByteArray bareOutput;
    if (!startSimulator(bareSimulator, bareOutput, dir.filePath(QStringLiteral("bare")), imagePath,
                        err))
        return 1;
    QString error;
    const double bare =
        BareToolkitLoop::run(dir.filePath(QStringLiteral("bare/configurator")), BaudRate,
                             exchanges, pauseAfter, int(FirstLinePauseSeconds * 1000), &error);
    if (bare < 0 || !imageMatched(bareSimulator, bareOutput)) {
        err << "The bare toolkit loop failed: " << error << Qt::endl;
        return 1;
    }

    const double limit = BareToolkitLoop::wireSeconds(exchanges, BaudRate) + FirstLinePauseSeconds;
    qsizetype sent = 0;
    for (const ModbusExchange &e : std::as_const(exchanges))
        sent += e.ok() ? 1 : 0;
    out << QString::asprintf("Ours:            %8.3f s (%lld exchanges, %lld failed attempts)\n",
                             measured, qlonglong(sent), qlonglong(exchanges.size() - sent))
        << QString::asprintf("Bare toolkit:    %8.3f s\n", bare)
        << QString::asprintf("Wire-time limit: %8.3f s (3.000 s pause included; silences of "
                             "1.75 ms, the RTU minimum above 19200 baud)\n",
                             limit)
        << QString::asprintf("Ours/bare:       %8.3f\n", measured / bare)
        << QString::asprintf("Ours/wire:       %8.3f\n", measured / limit)
        << QString::asprintf("Bare/wire:       %8.3f\n", bare / limit);
    return 0;
}
