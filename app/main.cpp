#include "I18n.h"
#include "MainWindow.h"
#include "PluginManager.h"
#include "Translations.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // These names are also where the connection settings are stored.
    QApplication::setApplicationName(QStringLiteral("Tavrolix Configurator"));
    QApplication::setApplicationVersion(QStringLiteral(TAVROLIX_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Tavrolix"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/favicon.png")));
    // The installed desktop entry, so that a desktop shows its name and icon.
    QApplication::setDesktopFileName(QStringLiteral("com.tavrolix.configurator"));

    I18n::instance()->detectLanguage();
    Translations::install();
    // Every plug-in is loaded before the window exists; the set never changes later.
    PluginManager::instance()->loadPlugins();

    MainWindow window;
    window.show();
    return app.exec();
}
