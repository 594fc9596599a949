#include "Translations.h"

#include "I18n.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcTranslations, "tavrolix.translations")

namespace {

bool load(const QString &file, const QString &folder, QStringList *loaded)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(file, folder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    loaded->append(QDir(folder).filePath(file));
    return true;
}

} // namespace

QString Translations::directory()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"));
}

QStringList Translations::install(const QString &folder)
{
    QStringList loaded;
    if (I18n::instance()->language() != Lang::Russian)
        return loaded;

    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!load(QStringLiteral("qtbase_ru.qm"), qtFolder, &loaded))
        qCDebug(lcTranslations) << "Qt's own Russian texts not found in" << qtFolder;

    const QDir own(folder);
    const QStringList files = own.entryList({QStringLiteral("*_ru.qm")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        if (!load(file, own.path(), &loaded))
            qCWarning(lcTranslations) << "Cannot load the translation" << own.filePath(file);
    }
    if (files.isEmpty())
        qCWarning(lcTranslations) << "No Russian translations in" << own.path();
    return loaded;
}
