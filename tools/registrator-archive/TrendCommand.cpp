#include "ArchiveExport.h"
#include "FileTrouble.h"
#include "HistoryFolder.h"
#include "ToolCommand.h"
#include "history/PeriodCsv.h"

namespace registrator::tools {

namespace {

std::string MomentText(common::TDateTime when) {
    return common::ArchiveDateText(when) + " " + common::FormatTime(when, "HH:mm");
}

} // namespace

// The period's days one after another as they are read, so that a year takes no more memory than a
// day; digests missing or stale are made on the way, with a progress line.
int ExportTrend(const ToolRun& run) {
    const ToolOptions& options = run.Options;
    // The recorder's own folder by default: Data beside the program, as its settings file is.
    const std::string folder = options.File.empty() ? run.ToolFolder + "Data/" : options.File;
    std::optional<history::ArchiveHistory> history;
    if (const auto status = OpenHistory(run, folder, history))
        return *status;

    const history::CsvRequest request{
        *options.From, *options.To, options.Channels,
        options.PerRecord ? history::CsvRows::PerRecord : history::CsvRows::PerMinute, run.Form};
    history::Workspace work;
    ProgressLine progress(run.Err, "making digests", true);
    const history::CsvOutcome outcome = history::WritePeriodCsv(
        *history, request,
        [&run](std::string_view text) {
            run.Out.write(text.data(), static_cast<std::streamsize>(text.size()));
            return static_cast<bool>(run.Out);
        },
        work, progress.Callback());
    progress.End();
    run.Out.flush();

    int status = kExitOk;
    for (const std::string& trouble : outcome.Troubles)
        status = ReportDay(run.Err, *history, trouble);
    if (outcome.Rows == 0 && run.Out)
        FileTrouble(run.Err, history->Folder())
            .Note("no records from " + MomentText(*options.From) + " up to " + MomentText(*options.To));
    return status;
}

} // namespace registrator::tools
