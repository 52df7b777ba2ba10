#include "reports/PeriodFigures.h"

#include "history/DigestsAhead.h"
#include "history/PeriodQuery.h"
#include "reports/DayFigures.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace registrator::reports {

namespace {

constexpr std::int64_t kMsPerMinute = 60000;
constexpr std::int64_t kMinutesPerDay = 1440;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

void Most(std::optional<double>& slot, const std::optional<double>& value) {
    if (value)
        slot = std::max(slot.value_or(*value), *value);
}

// A motor's figures over a part of a day.
MotorFigures FiguresOf(const DigestMotorFigures& digest, const JournalMotorFigures& journal) {
    MotorFigures f;
    f.RunSeconds = digest.RunMs / 1000;
    f.AboveNominalSeconds = digest.AboveNominalMs / 1000;
    f.NoRecordSeconds = digest.NoRecordMs / 1000;
    f.RunningAmpereSeconds = digest.RunningAmpereMs / 1000;
    f.HighestCurrent = digest.Highest;
    f.Starts = journal.Starts;
    f.LongStarts = journal.LongStarts;
    f.LongestStartSeconds = journal.LongestStartSeconds;
    f.HighestStartPeak = journal.HighestStartPeak;
    f.Overloads = journal.Overloads;
    f.OverloadSeconds = journal.OverloadSeconds;
    return f;
}

// Sums, and the largest of the maxima. A section's or the plant's time without records is its own, not
// the sum of its motors'.
void Add(MotorFigures& to, const MotorFigures& add, bool noRecord) {
    to.RunSeconds += add.RunSeconds;
    to.AboveNominalSeconds += add.AboveNominalSeconds;
    to.NoRecordSeconds += noRecord ? add.NoRecordSeconds : 0;
    to.RunningAmpereSeconds += add.RunningAmpereSeconds;
    to.EnergyKwh += add.EnergyKwh;
    Most(to.HighestCurrent, add.HighestCurrent);
    to.Starts += add.Starts;
    to.LongStarts += add.LongStarts;
    Most(to.LongestStartSeconds, add.LongestStartSeconds);
    Most(to.HighestStartPeak, add.HighestStartPeak);
    to.Overloads += add.Overloads;
    to.OverloadSeconds += add.OverloadSeconds;
}

void Finish(MotorFigures& figures) {
    if (figures.RunSeconds > 0)
        figures.MeanRunningCurrent = figures.RunningAmpereSeconds / figures.RunSeconds;
}

} // namespace

double EnergyKwh(double ampereSeconds, const channels::MotorSupply& supply) {
    return std::sqrt(3.0) * supply.LineVoltage * supply.PowerFactor * ampereSeconds / 3.6e6;
}

PeriodFigures CountPeriod(const history::ArchiveHistory& history, const FiguresRequest& request,
                          history::Workspace& work, const history::ProgressCallback& progress) {
    PeriodFigures out;
    const std::int64_t startMinute = FloorDiv(history::MsOf(request.From), kMsPerMinute);
    const std::int64_t endMinute = -FloorDiv(-history::MsOf(request.To), kMsPerMinute);
    out.From = history::TimeOfMs(startMinute * kMsPerMinute);
    out.To = history::TimeOfMs(endMinute * kMsPerMinute);
    if (endMinute <= startMinute)
        return out;

    const std::vector<common::TDateTime> files = history.Days();
    const std::set<common::TDateTime> withFile(files.begin(), files.end());
    const common::TDateTime newest = files.empty() ? -1 : files.back();
    const std::int64_t firstDay = FloorDiv(startMinute, kMinutesPerDay);
    const std::int64_t lastDay = FloorDiv(endMinute - 1, kMinutesPerDay);
    std::vector<history::DigestsAhead::Day> recorded;
    if (request.MakeDigestsAhead)
        for (const common::TDateTime day : files)
            if (day >= static_cast<common::TDateTime>(firstDay) &&
                day <= static_cast<common::TDateTime>(lastDay))
                recorded.push_back({day, day == newest});
    history::DigestsAhead ahead(history, std::move(recorded), history::Need::Seconds);
    std::size_t reached = 0;
    std::vector<Acknowledgement> acks;
    double plantNoRecordMs = 0;
    for (std::int64_t d = firstDay; d <= lastDay; ++d) {
        const auto day = static_cast<common::TDateTime>(d);
        const history::Progress step{static_cast<std::size_t>(d - firstDay),
                                     static_cast<std::size_t>(lastDay - firstDay + 1), day, false};
        if (progress && !progress(step)) {
            out.Stopped = true;
            return out;
        }
        DayPartRequest part;
        part.Day = day;
        part.FromMinute = static_cast<int>(std::max(startMinute, d * kMinutesPerDay) - d * kMinutesPerDay);
        part.ToMinute = static_cast<int>(std::min(endMinute, (d + 1) * kMinutesPerDay) - d * kMinutesPerDay);
        part.HasFile = withFile.count(day) > 0;
        part.Growing = day == newest;
        if (request.MakeDigestsAhead && part.HasFile)
            ahead.Reach(reached++);
        DayPart figures = FigureDayPart(history, part, work, history::BuildingStep(progress, step));
        if (figures.Stopped) {
            out.Stopped = true;
            return out;
        }
        if (!figures.Trouble.empty())
            out.Troubles.push_back(common::ArchiveDateText(day) + ".txt: " + figures.Trouble);
        if (part.HasFile && !figures.JournalThere)
            out.DaysWithoutJournal.push_back(day);
        plantNoRecordMs += figures.PlantNoRecordMs;
        for (int n = 1; n <= channels::kChannelCount; ++n)
            Add(out.Motors[static_cast<std::size_t>(n)],
                FiguresOf(figures.Motors[static_cast<std::size_t>(n)],
                          figures.Journal.Motors[static_cast<std::size_t>(n)]),
                true);
        auto& journal = figures.Journal;
        out.Alarms.insert(out.Alarms.end(), journal.Alarms.begin(), journal.Alarms.end());
        acks.insert(acks.end(), journal.Acknowledgements.begin(), journal.Acknowledgements.end());
        out.Calibrations.insert(out.Calibrations.end(), journal.Calibrations.begin(),
                                journal.Calibrations.end());
    }
    MatchAcknowledgements(out.Alarms, acks);

    const monitor::DayMotors motors = history.MotorsOf(static_cast<common::TDateTime>(lastDay));
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        MotorFigures& motor = out.Motors[static_cast<std::size_t>(n)];
        out.Names[static_cast<std::size_t>(n)] = motors.Motors[n].Name.Utf8();
        motor.EnergyKwh =
            EnergyKwh(motor.RunningAmpereSeconds, request.Supplies[static_cast<std::size_t>(n)]);
        Finish(motor);
        Add(out.Sections[static_cast<std::size_t>(channels::SectionOfChannel(n))], motor, false);
        Add(out.Plant, motor, false);
    }
    for (int s = 1; s <= channels::kSectionCount; ++s) {
        out.Sections[static_cast<std::size_t>(s)].NoRecordSeconds = plantNoRecordMs / 1000;
        Finish(out.Sections[static_cast<std::size_t>(s)]);
    }
    out.Plant.NoRecordSeconds = plantNoRecordMs / 1000;
    Finish(out.Plant);
    if (progress)
        progress({static_cast<std::size_t>(lastDay - firstDay + 1),
                  static_cast<std::size_t>(lastDay - firstDay + 1), static_cast<common::TDateTime>(lastDay),
                  false});
    return out;
}

} // namespace registrator::reports
