#pragma once

#include <functional>

class QCommandLineParser;
class QCoreApplication;
class QString;

// The simulator program's bootloader mode (--device bootloader) and its image maker
// (--make-image): their options, start-up, and a report of every upload on standard
// output that says whether the image received matches the file given with --expect.
class BootloaderConsole
{
public:
    using SignalSetup = void (*)(QCoreApplication &app);

    static void addOptions(QCommandLineParser &parser);
    // --make-image: writes the image file and returns the program's exit code.
    static bool makesImage(const QCommandLineParser &parser);
    static int makeImage(const QCommandLineParser &parser);
    // --device bootloader.
    static bool isRequested(const QCommandLineParser &parser);
    // Serves `devicePort` until the program is stopped and returns its exit code;
    // `configuratorPort` is the other end of a virtual pair, if there is one. The
    // program's own `quitOnSignals` lets Ctrl+C end the event loop, so a virtual pair
    // is removed on the way out. `restart`, if set, runs once the bootloader has let the
    // port go after the exit command: the module starting its application.
    static int run(QCoreApplication &app, const QCommandLineParser &parser,
                   const QString &devicePort, const QString &configuratorPort,
                   SignalSetup quitOnSignals, const std::function<void()> &restart = {});
};
