#include "ArchiveExport.h"
#include "DaySources.h"
#include "FileTrouble.h"
#include "ToolCommand.h"
#include "monitor/DaySummaryCsv.h"
#include "monitor/JournalTally.h"

namespace registrator::tools {

// Two passes over FILE, in bounded memory.
int ExportSummary(const ToolRun& run) {
    const ToolOptions& options = run.Options;
    const std::string snapshot = options.Arguments.empty() ? std::string() : options.Arguments[0];
    const FileTrouble trouble(run.Err, options.File);
    archive::ReadingsStream stream(options.File);
    if (const auto status = trouble.NoReadings(stream))
        return *status;
    DaySources sources;
    if (const auto status =
            LoadDayMotors(options.File, snapshot, options.Settings, run.ToolFolder, run.Err, sources))
        return *status;

    monitor::DaySummaries summaries;
    const bool read = monitor::SummarizeDay(
        [&](const auto& visit) {
            if (!stream.Rewind())
                return false;
            for (auto block = stream.Next(); !block.empty(); block = stream.Next())
                visit(block);
            return stream.Error().empty();
        },
        sources.Day.Motors, summaries);

    const std::string journalPath = DayFileBeside(options.File, events::EventJournal::kFileSuffix);
    const bool journalThere = !journalPath.empty() && IsRegularFile(journalPath);
    events::EventJournal::FileRead journal;
    if (journalThere)
        journal = events::EventJournal::ReadFile(journalPath);
    const monitor::JournalTally tally = monitor::TallyJournal(journal.Lines);
    const monitor::MoreSummaryColumns columns =
        monitor::JournalSummaryColumns(journal.Header ? &tally : nullptr);
    monitor::WriteDaySummaryCsv(run.Out, summaries, sources.Day, run.Form, &columns);

    const std::string others = !sources.SettingsPath.empty()
                                   ? "the thresholds of " + sources.SettingsPath
                                   : "the program's default thresholds (no settings file given or found)";
    const archive::RecordFileRead& snapshotRead = sources.SnapshotRead;
    if (snapshotRead.Records == 0)
        trouble.Note("no snapshot of the day" +
                     (sources.SnapshotPath.empty() ? "" : " (" + sources.SnapshotPath + ")") +
                     "; summed up with " + others);
    if (!journalThere)
        trouble.Note("no event journal of the day" + (journalPath.empty() ? "" : " (" + journalPath + ")") +
                     "; its columns are left empty");
    std::optional<int> journalStatus;
    if (journalThere) {
        const FileTrouble journalTrouble(run.Err, journalPath);
        journalStatus = journalTrouble.NoJournal(journal);
        if (!journalStatus)
            journalStatus = journalTrouble.JournalTail(journal, "counted");
    }
    if (!read)
        return trouble.ReadFailed(stream);
    if (!snapshotRead.Error.empty())
        return FileTrouble(run.Err, sources.SnapshotPath).ReadFailed(snapshotRead);
    if (stream.TrailingBytes() != 0)
        return trouble.Unfinished(stream.TrailingBytes(), stream.Records(), "summed up");
    if (snapshotRead.Records > 0 && snapshotRead.Records < archive::kUstRecCount)
        return FileTrouble(run.Err, sources.SnapshotPath)
            .ShortSnapshot(snapshotRead.Records, "the others were summed up with " + others);
    return journalStatus.value_or(kExitOk);
}

} // namespace registrator::tools
