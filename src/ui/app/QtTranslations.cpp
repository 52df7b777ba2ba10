#include "ui/app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace registrator::ui {

QString InstallQtTranslations(const QLocale& locale, const QStringList& folders) {
    if (locale.language() != QLocale::Russian)
        return {};
    for (const QString& folder : folders) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return translator->filePath();
        }
        delete translator;
    }
    return {};
}

QStringList QtTranslationFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

} // namespace registrator::ui
