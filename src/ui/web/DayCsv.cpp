#include "ui/web/DayCsv.h"

#include "ArchiveExport.h"
#include "archive/RecordFiles.h"
#include "common/NumberText.h"
#include "monitor/DaySummary.h"

#include <cmath>
#include <sstream>
#include <vector>

namespace registrator::web {

namespace {

// Quoted only when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// To the millisecond the records carry; sums of day fractions leave noise below it.
std::string Seconds(double seconds) {
    return common::FloatToText(std::round(seconds * 1000) / 1000, '.');
}

DayCsv SummaryCsv(const std::string& readingsPath, const std::string& snapshotPath,
                  const channels::UstavkiTable& present) {
    std::vector<archive::TArhivRec> records;
    const archive::RecordFileRead read = archive::ReadReadingsFile(readingsPath, records);
    if (read.Records == 0)
        return {};
    std::vector<archive::TUstRec> snapshot(archive::kUstRecCount);
    const archive::RecordFileRead snapshotRead = archive::ReadSnapshotFile(snapshotPath, snapshot);

    std::string csv = "channel,name,records,off_s,running_s,above_nominal_s,overloaded_s,no_data_s,starts,"
                      "peak_a,peak_time,overloads\r\n";
    const std::span<const archive::TArhivRec> day(records.data(), read.Records);
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const bool inSnapshot = static_cast<std::size_t>(n) <= snapshotRead.Records;
        const archive::TUstRec& rec = snapshot[static_cast<std::size_t>(n - 1)];
        const channels::TUstavka thresholds =
            inSnapshot ? monitor::ThresholdsOfDay(rec, present[n]) : present[n];
        const monitor::MotorDaySummary s = monitor::SummarizeMotorDay(day, n, thresholds);
        csv += std::to_string(n) + ',' + CsvField(thresholds.Name.Utf8()) + ',' + std::to_string(s.Records) +
               ',' + Seconds(s.OffSeconds) + ',' + Seconds(s.RunningSeconds) + ',' +
               Seconds(s.AboveNominalSeconds) + ',' + Seconds(s.OverloadedSeconds) + ',' +
               Seconds(s.NoDataSeconds) + ',' + std::to_string(s.Starts) + ',' +
               common::FloatToText(s.Peak, '.') + ',' + (s.Records ? tools::TimeOfDayText(s.PeakTime) : "") +
               ',' + std::to_string(s.Overloads.size()) + "\r\n";
    }
    return {true, std::move(csv)};
}

} // namespace

DayCsv MakeDayCsv(DayCsvKind kind, const std::string& readingsPath, const std::string& snapshotPath,
                  const channels::UstavkiTable& present) {
    if (kind == DayCsvKind::Summary)
        return SummaryCsv(readingsPath, snapshotPath, present);
    std::ostringstream out;
    std::ostringstream complaints;
    // A day ending in an unfinished record still gives its whole records, as the tool does.
    tools::RunArchiveTool({"readings", readingsPath}, out, complaints);
    std::string csv = out.str();
    if (csv.empty())
        return {};
    return {true, std::move(csv)};
}

} // namespace registrator::web
