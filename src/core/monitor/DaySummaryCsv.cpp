#include "monitor/DaySummaryCsv.h"

#include "common/NumberText.h"

#include <cmath>

namespace registrator::monitor {

namespace {

// To the millisecond, so sums of periods do not show as 3599.9999999999.
double Seconds(double seconds) {
    return std::round(seconds * 1000.0) / 1000.0;
}

} // namespace

const char* ThresholdSourceWord(ThresholdSource source) {
    switch (source) {
    case ThresholdSource::DaySnapshot:
        return "snapshot";
    case ThresholdSource::PresentSettings:
        return "settings";
    case ThresholdSource::ProgramDefaults:
        break;
    }
    return "defaults";
}

void WriteDaySummaryCsv(std::ostream& out, const DaySummaries& summaries, const DayMotors& day,
                        archive::CsvForm form, const MoreSummaryColumns* more) {
    archive::CsvRow row(form);
    row.StartFile(out);
    for (const char* title : {"channel", "name", "nominal_current", "critical_current", "switch_off_current",
                              "records", "off_seconds", "running_seconds", "above_nominal_seconds",
                              "overloaded_seconds", "no_data_seconds", "starts", "peak_current", "peak_time",
                              "overload_episodes", "longest_overload_seconds", "thresholds_from"})
        row.Field(title);
    if (more)
        for (const std::string& title : more->Titles)
            row.Field(title);
    row.WriteTo(out);
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        const channels::TUstavka& motor = day.Motors[n];
        const MotorDaySummary& s = summaries[i];
        row.Field(std::to_string(n));
        row.Field(motor.Name.Utf8());
        row.Number(motor.T_Nom);
        row.Number(motor.T_Max);
        row.Field(common::IntToText(motor.Oborot));
        row.Field(std::to_string(s.Records));
        for (double seconds :
             {s.OffSeconds, s.RunningSeconds, s.AboveNominalSeconds, s.OverloadedSeconds, s.NoDataSeconds})
            row.Number(Seconds(seconds));
        row.Field(std::to_string(s.Starts));
        if (s.PeakSeen) {
            row.Number(s.Peak);
            row.Time(s.PeakTime);
        } else {
            row.Field("");
            row.Field("");
        }
        row.Field(std::to_string(s.OverloadCount));
        row.Number(Seconds(s.LongestOverloadSeconds));
        row.Field(ThresholdSourceWord(day.Source[i]));
        if (more)
            more->Fields(n, row);
        row.WriteTo(out);
    }
    out.flush();
}

} // namespace registrator::monitor
