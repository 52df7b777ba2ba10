#include "ui/archive/DayExport.h"

#include "common/Utf8Path.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <fstream>

namespace registrator::ui {

QString AskExportPath(QWidget* parent, const QString& caption, const QString& name, const QStringList& types,
                      QString& chosen) {
    QSettings remembered;
    const QString folder = remembered.value(QStringLiteral("export/folder")).toString();
    const QString proposed =
        (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + name + QStringLiteral(".csv");
    QString path = QFileDialog::getSaveFileName(parent, caption, proposed, types.join(";;"), &chosen);
    if (path.isEmpty())
        return path;
    remembered.setValue(QStringLiteral("export/folder"), QFileInfo(path).absolutePath());
    if (!path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".csv");
    return path;
}

std::optional<DayExportChoice> AskDayExport(QWidget* parent, const std::string& day) {
    const QString allSheet = QStringLiteral("Все 72 канала, для таблиц Excel/Calc (*.csv)");
    const QString allPlain = QStringLiteral("Все 72 канала, CSV (*.csv)");
    const QString oneSheet = QStringLiteral("Показанный двигатель, для таблиц Excel/Calc (*.csv)");
    const QString onePlain = QStringLiteral("Показанный двигатель, CSV (*.csv)");
    QString chosen = allSheet;
    const QString name = day.empty() ? QStringLiteral("архив") : QString::fromStdString(day);
    const QString path = AskExportPath(parent, QStringLiteral("Экспорт дня"), name,
                                       {allSheet, allPlain, oneSheet, onePlain}, chosen);
    if (path.isEmpty())
        return std::nullopt;
    const bool sheet = chosen == allSheet || chosen == oneSheet;
    return DayExportChoice{path, chosen == allSheet || chosen == allPlain,
                           sheet ? archive::CsvForm::Spreadsheet : archive::CsvForm::Plain};
}

bool WriteDayExport(const QString& path, std::span<const archive::TArhivRec> records,
                    const std::vector<int>& channels, archive::CsvForm form,
                    const std::vector<std::string>& names) {
    std::ofstream out(common::PathFromUtf8(path.toStdString()), std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    archive::WriteReadingsCsv(out, records, channels, form, names);
    out.close();
    return static_cast<bool>(out);
}

} // namespace registrator::ui
