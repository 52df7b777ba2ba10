#include "ui/web/DayCsv.h"

#include "archive/CsvExport.h"
#include "archive/RecordFiles.h"
#include "monitor/DaySummaryCsv.h"

#include <sstream>
#include <vector>

namespace registrator::web {

DayCsv MakeDayCsv(DayCsvKind kind, const std::string& readingsPath, const std::string& snapshotPath,
                  const channels::UstavkiTable& present) {
    std::vector<archive::TArhivRec> records;
    const archive::RecordFileRead read = archive::ReadReadingsFile(readingsPath, records);
    // A day ending in an unfinished record still gives its whole records, as the export tool does.
    if (read.Records == 0)
        return {};
    const std::span<const archive::TArhivRec> day(records.data(), read.Records);
    std::ostringstream out;
    if (kind == DayCsvKind::Readings) {
        archive::WriteReadingsCsv(out, day, archive::AllChannels(), archive::CsvForm::Plain);
        return {true, out.str()};
    }

    // The same table registrator-archive summary writes: the day's snapshot where it has the motor,
    // the present settings for the switch-off current and for motors it lacks.
    std::vector<archive::TUstRec> snapshot(archive::kUstRecCount);
    const archive::RecordFileRead snapshotRead = archive::ReadSnapshotFile(snapshotPath, snapshot);
    const monitor::DayMotors motors =
        monitor::MotorsOfDay(std::span(snapshot.data(), snapshotRead.Records), present);
    monitor::DaySummaries summaries;
    monitor::SummarizeDay(
        [&](const auto& visit) {
            visit(day);
            return true;
        },
        motors.Motors, summaries);
    monitor::WriteDaySummaryCsv(out, summaries, motors, archive::CsvForm::Plain);
    return {true, out.str()};
}

} // namespace registrator::web
