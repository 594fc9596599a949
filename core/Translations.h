#pragma once

#include "TavrolixCoreExport.h"

#include <QString>
#include <QStringList>

// The translations of the tr() texts, chosen by the same language as the string table
// so that the two always agree. For Russian: Qt's own texts (standard buttons, file
// dialogs) from Qt's translations folder, and every "*_ru.qm" in the translations
// folder beside the program: one for the core library, the program, the command-line
// program, the device-settings page and each device plug-in. For English nothing is
// loaded: the sources are English.
class TAVROLIX_CORE_EXPORT Translations
{
public:
    // Installs the translators into the application (which owns them) for the string
    // table's current language, with the program's own from `folder`; returns the files
    // it loaded. Call once, after the language is detected and before any window or
    // plug-in text is made.
    static QStringList install(const QString &folder = directory());

    // The translations folder beside the program.
    static QString directory();
};
