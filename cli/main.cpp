#include "CliCommands.h"
#include "CliOptions.h"
#include "I18n.h"
#include "PluginManager.h"
#include "Translations.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <unistd.h>

namespace {

int interruptPipe[2] = {-1, -1};

void onInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(interruptPipe[1], &byte, 1);
    std::signal(SIGINT, SIG_DFL); // a second Ctrl+C ends the program at once
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tavrolix Configurator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVROLIX_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrolix"));
    // The plug-in manager's notes are for developers, not for scripts.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    // Before the options: their errors and the help are texts too.
    I18n::instance()->detectLanguage();
    Translations::install();

    CliOptions options;
    QString output;
    int exitCode = 0;
    if (!options.parse(QCoreApplication::arguments(), &output, &exitCode)) {
        QTextStream(exitCode == 0 ? stdout : stderr)
            << output << (output.endsWith('\n') ? "" : "\n");
        return exitCode;
    }

    PluginManager::instance()->loadPlugins();

    CliCommands commands(options);
    if (pipe(interruptPipe) == 0) {
        auto *notifier = new QSocketNotifier(interruptPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &commands, [&commands] {
            char byte = 0;
            [[maybe_unused]] const ssize_t read = ::read(interruptPipe[0], &byte, 1);
            commands.cancel();
        });
        std::signal(SIGINT, onInterrupt);
    }
    return commands.run();
}
