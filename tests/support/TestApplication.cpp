#include "TestApplication.h"

#include "I18n.h"

#include <QCoreApplication>
#include <QStandardPaths>

void prepareTestApplication()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Tavrolix Configurator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrolix"));
    I18n::instance()->setLanguage(Lang::English);
}
