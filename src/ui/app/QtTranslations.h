#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

namespace registrator::ui {

// Qt's own dialogs (the file dialog, the standard buttons) in the operator's language: Qt's Russian
// translations when the locale is Russian, looked for in the program's "translations" folder (the
// release ships them) and then where Qt keeps them. Returns the file loaded, empty when none was.
QString InstallQtTranslations(const QLocale& locale, const QStringList& folders);

// The folders InstallQtTranslations looks in for this program.
QStringList QtTranslationFolders();

} // namespace registrator::ui
