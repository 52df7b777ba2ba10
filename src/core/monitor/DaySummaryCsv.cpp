#include "monitor/DaySummaryCsv.h"

#include "common/NumberText.h"
#include "monitor/DaySummary.h"

#include <cmath>

namespace registrator::monitor {

namespace {

// To the millisecond, so sums of periods do not show as 3599.9999999999.
double Seconds(double seconds) {
    return std::round(seconds * 1000.0) / 1000.0;
}

} // namespace

void WriteDaySummaryCsv(std::ostream& out, std::span<const archive::TArhivRec> records,
                        const channels::UstavkiTable& motors, archive::CsvForm form) {
    archive::CsvRow row(form);
    row.StartFile(out);
    for (const char* title :
         {"channel", "name", "nominal_current", "critical_current", "switch_off_current", "records",
          "off_seconds", "running_seconds", "above_nominal_seconds", "overloaded_seconds", "no_data_seconds",
          "starts", "peak_current", "peak_time", "overload_episodes", "longest_overload_seconds"})
        row.Field(title);
    row.WriteTo(out);
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const channels::TUstavka& motor = motors[n];
        const MotorDaySummary s = SummarizeMotorDay(records, n, motor);
        double longest = 0;
        for (const OverloadEpisode& episode : s.Overloads)
            longest = std::max(longest, (episode.End - episode.Start) * 86400.0);
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
        if (s.Records == 0) {
            row.Field("");
            row.Field("");
        } else {
            row.Number(s.Peak);
            row.Time(s.PeakTime);
        }
        row.Field(std::to_string(s.Overloads.size()));
        row.Number(Seconds(longest));
        row.WriteTo(out);
    }
    out.flush();
}

} // namespace registrator::monitor
