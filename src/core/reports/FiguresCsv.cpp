#include "reports/FiguresCsv.h"

#include <cmath>

namespace registrator::reports {

namespace {

double Rounded(double value, double step) {
    return std::round(value / step) * step;
}

class FiguresWriter {
public:
    FiguresWriter(std::string& out, archive::CsvForm form) : out_(out), form_(form), row_(form) {}

    void Titles(std::initializer_list<const char*> titles) {
        for (const char* title : titles)
            row_.Field(title);
        End();
    }
    void Text(const std::string& text) { row_.Field(text); }
    void Count(long long value) { row_.Field(std::to_string(value)); }
    void Number(double value, double step) { row_.Number(Rounded(value, step)); }
    void Number(const std::optional<double>& value, double step) {
        if (value)
            Number(*value, step);
        else
            row_.Field("");
    }
    void Channel(const std::optional<int>& channel) {
        row_.Field(channel ? std::to_string(*channel) : std::string());
    }
    void Time(common::TDateTime time) {
        row_.Field(form_ == archive::CsvForm::Plain
                       ? common::FormatDate(time, "yyyy-MM-dd") + ' ' + common::FormatTime(time, "HH:mm:ss")
                       : events::JournalTimeText(time));
    }
    void End() { row_.AppendTo(out_); }
    void Gap() { out_ += "\r\n"; }

    // The figures of one row after its kind, channel, section and name.
    void Figures(const MotorFigures& f) {
        Number(f.RunSeconds, 0.001);
        Number(f.RunSeconds / 3600, 0.001);
        Count(f.Starts);
        Count(f.LongStarts);
        Number(f.LongestStartSeconds, 0.1);
        Number(f.HighestStartPeak, 0.1);
        Count(f.Overloads);
        Number(f.OverloadSeconds, 0.1);
        Number(f.AboveNominalSeconds, 0.001);
        Number(f.HighestCurrent, 0.001);
        Number(f.MeanRunningCurrent, 0.1);
        Number(f.NoRecordSeconds, 0.001);
        Number(f.EnergyKwh, 0.01);
    }

private:
    std::string& out_;
    archive::CsvForm form_;
    archive::CsvRow row_;
};

} // namespace

void WriteFiguresCsv(std::string& out, const PeriodFigures& figures, const FiguresRequest& request,
                     archive::CsvForm form) {
    archive::CsvRow(form).StartFile(out);
    FiguresWriter w(out, form);
    w.Titles({"kind", "channel", "section", "name", "run_seconds", "run_hours", "starts", "long_starts",
              "longest_start_seconds", "highest_start_peak_current", "overloads", "overload_seconds",
              "above_nominal_seconds", "highest_current", "mean_running_current", "no_record_seconds",
              "energy_kwh", "line_voltage", "power_factor"});
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const auto i = static_cast<std::size_t>(n);
        w.Text("motor");
        w.Count(n);
        w.Count(channels::SectionOfChannel(n));
        w.Text(figures.Names[i]);
        w.Figures(figures.Motors[i]);
        w.Number(request.Supplies[i].LineVoltage, 0.001);
        w.Number(request.Supplies[i].PowerFactor, 0.0001);
        w.End();
    }
    // A section's or the plant's row: no channel, no supply.
    const auto total = [&w](const char* kind, const std::string& section, const std::string& name,
                            const MotorFigures& f) {
        for (const std::string& field : {std::string(kind), std::string(), section, name})
            w.Text(field);
        w.Figures(f);
        w.Text("");
        w.Text("");
        w.End();
    };
    for (int s = 1; s <= channels::kSectionCount; ++s)
        total("section", std::to_string(s), std::string(channels::SectionName(s)),
              figures.Sections[static_cast<std::size_t>(s)]);
    total("plant", "", "", figures.Plant);

    w.Gap();
    w.Titles({"alarm_time", "event", "channel", "section", "name", "peak_current", "details",
              "acknowledged_time"});
    for (const AlarmLine& alarm : figures.Alarms) {
        w.Time(alarm.Time);
        w.Text(alarm.Kind);
        w.Channel(alarm.Channel);
        w.Text(alarm.Section);
        w.Text(alarm.Motor);
        w.Number(alarm.Peak, 0.1);
        w.Text(alarm.Details);
        if (alarm.Acknowledged)
            w.Time(*alarm.Acknowledged);
        else
            w.Text("");
        w.End();
    }

    w.Gap();
    w.Titles({"calibration_time", "channel", "name", "field", "old", "new"});
    for (const CalibrationLine& change : figures.Calibrations)
        for (const CalibrationField& field : change.Fields) {
            w.Time(change.Time);
            w.Channel(change.Channel);
            w.Text(change.Motor);
            w.Text(field.Caption);
            w.Text(field.Old);
            w.Text(field.New);
            w.End();
        }
}

} // namespace registrator::reports
