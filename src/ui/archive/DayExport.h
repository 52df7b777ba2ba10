#pragma once

#include "archive/ArchiveRecords.h"
#include "archive/CsvExport.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QWidget;

namespace registrator::ui {

// What the operator chose for exporting the shown day: the file, all 72 channels or the shown motor,
// and the CSV form.
struct DayExportChoice {
    QString Path;
    bool AllChannels = true;
    archive::CsvForm Form = archive::CsvForm::Spreadsheet;
};

// Asks for a CSV file to write, proposing `name` in the folder last exported to; `chosen` takes the file
// type picked (and proposes one). The path ends in ".csv"; empty when cancelled.
QString AskExportPath(QWidget* parent, const QString& caption, const QString& name, const QStringList& types,
                      QString& chosen);

// Asks where and how to export the day named `day` ("DD.MM.YYYY", empty when none is shown), in the
// folder last exported to; the form and scope are the file type picked. Nothing when cancelled.
std::optional<DayExportChoice> AskDayExport(QWidget* parent, const std::string& day);

// The readings of `channels` as CSV; the spreadsheet form heads their columns with `names`. False when
// the file could not be written whole.
bool WriteDayExport(const QString& path, std::span<const archive::TArhivRec> records,
                    const std::vector<int>& channels, archive::CsvForm form,
                    const std::vector<std::string>& names);

} // namespace registrator::ui
