#include "I18n.h"
#include "MainWindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // These names are also where the connection settings are stored.
    QApplication::setApplicationName(QStringLiteral("Tavrolix Configurator"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setOrganizationName(QStringLiteral("Tavrolix"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/favicon.png")));

    I18n::instance()->detectLanguage();

    MainWindow window;
    window.show();
    return app.exec();
}
