#include "TestApplication.h"

#include "I18n.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

void prepareTestApplication()
{
    QStandardPaths::setTestModeEnabled(true);
    // Test programs run side by side under CTest: each keeps its settings to itself.
    static QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QCoreApplication::setApplicationName(QStringLiteral("Tavrolix Configurator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrolix"));
    I18n::instance()->setLanguage(Lang::English);
}
