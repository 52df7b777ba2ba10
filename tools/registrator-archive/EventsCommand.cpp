#include "ArchiveExport.h"
#include "FileTrouble.h"
#include "ToolCommand.h"

namespace registrator::tools {

// Line by line as the journal has it; only the time and the figures change with the form, and a kind
// this version does not know goes out as its text.
int ExportEvents(const ToolRun& run) {
    const FileTrouble trouble(run.Err, run.Options.File);
    const events::EventJournal::FileRead read = events::EventJournal::ReadFile(run.Options.File);
    if (const auto status = trouble.NoJournal(read))
        return *status;
    archive::CsvRow row(run.Form);
    row.StartFile(run.Out);
    for (const char* title : {"time", "event", "channel", "section", "name", "peak_current",
                              "duration_seconds", "alarm", "details"})
        row.Field(title);
    row.WriteTo(run.Out);
    const auto figure = [&row](const std::optional<double>& value) {
        if (value)
            row.Number(*value);
        else
            row.Field("");
    };
    for (const events::JournalEntry& line : read.Lines) {
        if (!line.Time)
            row.Field("");
        else if (run.Form == archive::CsvForm::Plain)
            row.Field(common::FormatDate(*line.Time, "yyyy-MM-dd") + ' ' +
                      common::FormatTime(*line.Time, "HH:mm:ss"));
        else
            row.Field(events::JournalTimeText(*line.Time));
        row.Field(line.KindText());
        row.Field(line.Channel ? std::to_string(*line.Channel) : std::string());
        row.Field(line.Section);
        row.Field(line.Motor);
        figure(line.Peak);
        figure(line.Seconds);
        row.Field(line.Alarm ? events::kJournalAlarm : "");
        row.Field(line.Details);
        row.WriteTo(run.Out);
    }
    run.Out.flush();
    return trouble.JournalTail(read, "written").value_or(kExitOk);
}

} // namespace registrator::tools
