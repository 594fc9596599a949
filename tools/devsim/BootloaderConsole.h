#pragma once

class QCommandLineParser;
class QCoreApplication;

// The simulator program's bootloader mode (--device bootloader) and its image maker
// (--make-image): their options, start-up, and a report of every upload on standard
// output that says whether the image received matches the file given with --expect.
class BootloaderConsole
{
public:
    using SignalSetup = void (*)(QCoreApplication &app);

    static void addOptions(QCommandLineParser &parser);
    // True when the command line asks for the bootloader or for an image file.
    static bool isRequested(const QCommandLineParser &parser);
    // Runs the mode until the program is stopped and returns its exit code. The
    // program's own `quitOnSignals` lets Ctrl+C end the event loop, so a virtual pair
    // is removed on the way out.
    static int run(QCoreApplication &app, const QCommandLineParser &parser,
                   SignalSetup quitOnSignals);
};
