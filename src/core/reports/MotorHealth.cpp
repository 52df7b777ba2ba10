#include "reports/MotorHealth.h"

#include "common/Utf8Path.h"
#include "reports/DayFigures.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace registrator::reports {

namespace {

constexpr int kChannels = channels::kChannelCount;
// Too few to tell a drift from scatter: recorded days of the motor in the past and the recent days, starts
// in each, days whose mean running current says something.
constexpr int kLeastPastDays = 14;
constexpr int kLeastRecentDays = 3;
constexpr std::size_t kLeastPastStarts = 10;
constexpr std::size_t kLeastRecentStarts = 3;
constexpr std::size_t kLeastPastCurrents = 7;
constexpr double kLeastRunSecondsForCurrent = 600;
// Starts per day more than doubled, and by one a day at least: a motor that starts once a week and then
// twice is no drift.
constexpr double kLeastMoreStartsPerDay = 1;
// Other motors whose load a day's load is read from.
constexpr std::size_t kLeastLoadMotors = 2;

std::int64_t TimeStamp(const std::filesystem::path& path, std::uintmax_t& size) {
    std::error_code error;
    size = std::filesystem::file_size(path, error);
    if (error)
        size = static_cast<std::uintmax_t>(-1);
    const auto time = std::filesystem::last_write_time(path, error);
    return error ? 0 : static_cast<std::int64_t>(time.time_since_epoch().count());
}

std::shared_ptr<const HealthDay> HealthOf(common::TDateTime day, const DayPart& part) {
    auto health = std::make_shared<HealthDay>();
    health->Day = day;
    for (int n = 1; n <= kChannels; ++n) {
        const auto i = static_cast<std::size_t>(n);
        const DigestMotorFigures& digest = part.Motors[i];
        const JournalMotorFigures& journal = part.Journal.Motors[i];
        MotorDayHealth& motor = health->Motors[i];
        motor.Recorded = digest.NoRecordMs < 86400000.0;
        motor.Starts = journal.Starts;
        motor.StartSeconds = journal.StartSeconds;
        motor.StartPeaks = journal.StartPeaks;
        motor.RunSeconds = digest.RunMs / 1000;
        motor.OverloadMinutes = journal.OverloadSeconds / 60;
        if (digest.RunMs > 0)
            motor.MeanRunningCurrent = digest.RunningAmpereMs / digest.RunMs;
    }
    return health;
}

std::optional<double> DayCurrent(const MotorDayHealth& motor) {
    if (motor.RunSeconds < kLeastRunSecondsForCurrent)
        return std::nullopt;
    return motor.MeanRunningCurrent;
}

void Compare(Drift& drift, const std::vector<float>& recent, const std::vector<float>& past, double margin,
             std::size_t leastRecent, std::size_t leastPast) {
    if (recent.size() < leastRecent || past.size() < leastPast)
        return;
    drift.Recent = Median(recent);
    drift.Past = Median(past);
    drift.Flagged = *drift.Past > 0 && *drift.Recent > (1 + margin) * *drift.Past;
}

using DayList = std::vector<const HealthDay*>;

// The load of a day as the other motors (of the section, else of the plant) saw it: the median of their
// running currents over their own past medians.
double LoadOf(const HealthDay& day, int motor,
              const std::array<std::optional<double>, kChannels + 1>& usual) {
    std::vector<float> ratios;
    const auto gather = [&](int first, int last) {
        ratios.clear();
        for (int k = first; k <= last; ++k) {
            const auto current = DayCurrent(day.Motors[static_cast<std::size_t>(k)]);
            const auto& past = usual[static_cast<std::size_t>(k)];
            if (k != motor && current && past && *past > 0)
                ratios.push_back(static_cast<float>(*current / *past));
        }
        return ratios.size() >= kLeastLoadMotors;
    };
    const int section = channels::SectionOfChannel(motor);
    const int first = channels::FirstChannelOfSection(section);
    if (gather(first, first + channels::kChannelsPerSection - 1) || gather(1, kChannels))
        return *Median(ratios);
    return 1;
}

} // namespace

std::optional<double> Median(std::vector<float> values) {
    if (values.empty())
        return std::nullopt;
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1)
        return upper;
    const double lower =
        *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return (lower + upper) / 2;
}

HealthDays::Stamp HealthDays::StampOf(common::TDateTime day) const {
    Stamp stamp;
    const std::string paths[3] = {history_.DayPath(day), history_.SnapshotPath(day),
                                  JournalPathOf(history_, day)};
    for (int i = 0; i < 3; ++i)
        stamp.Times[i] = TimeStamp(common::PathFromUtf8(paths[i]), stamp.Sizes[i]);
    return stamp;
}

HealthDays::Answer HealthDays::Read(common::TDateTime first, common::TDateTime last, history::Workspace& work,
                                    const history::ProgressCallback& progress) {
    Answer out;
    const std::vector<common::TDateTime> files = history_.Days();
    const std::set<common::TDateTime> withFile(files.begin(), files.end());
    const common::TDateTime newest = files.empty() ? -1 : files.back();
    const auto total = static_cast<std::size_t>(std::max(0.0, last - first + 1));
    for (std::size_t i = 0; i < total; ++i) {
        const common::TDateTime day = first + static_cast<double>(i);
        const history::Progress step{i, total, day, false};
        if (progress && !progress(step)) {
            out.Stopped = true;
            return out;
        }
        const Stamp stamp = StampOf(day);
        const bool hasFile = withFile.count(day) > 0;
        if (!hasFile && stamp.Sizes[2] == static_cast<std::uintmax_t>(-1))
            continue;
        const bool growing = day == newest;
        if (!growing) {
            const std::lock_guard<std::mutex> lock(mutex_);
            const auto it = days_.find(day);
            if (it != days_.end() && it->second.first == stamp) {
                out.Days.push_back(it->second.second);
                continue;
            }
        }
        DayPartRequest request;
        request.Day = day;
        request.HasFile = hasFile;
        request.Growing = growing;
        request.KeepStarts = true;
        const DayPart part = FigureDayPart(history_, request, work, history::BuildingStep(progress, step));
        if (part.Stopped) {
            out.Stopped = true;
            return out;
        }
        if (!part.Trouble.empty())
            out.Troubles.push_back(common::ArchiveDateText(day) + ".txt: " + part.Trouble);
        auto health = HealthOf(day, part);
        // A day that could not be read is made again next time rather than kept.
        if (!growing && part.Trouble.empty()) {
            const std::lock_guard<std::mutex> lock(mutex_);
            days_[day] = {stamp, health};
        }
        out.Days.push_back(std::move(health));
    }
    return out;
}

std::array<MotorDrift, channels::kChannelCount + 1>
FindDrift(const std::vector<std::shared_ptr<const HealthDay>>& days, common::TDateTime asOf,
          const HealthRules& rules) {
    std::array<MotorDrift, kChannels + 1> drifts{};
    const common::TDateTime recentFrom = asOf - rules.RecentDays + 1;
    const common::TDateTime pastFrom = recentFrom - rules.PastDays;
    DayList recent;
    DayList past;
    for (const auto& day : days) {
        if (day->Day >= recentFrom && day->Day <= asOf)
            recent.push_back(day.get());
        else if (day->Day >= pastFrom && day->Day < recentFrom)
            past.push_back(day.get());
    }
    // Each motor's usual running current, for the load of the others' days.
    std::array<std::optional<double>, kChannels + 1> usual{};
    std::vector<float> values;
    for (int n = 1; n <= kChannels; ++n) {
        values.clear();
        for (const HealthDay* day : past)
            if (const auto current = DayCurrent(day->Motors[static_cast<std::size_t>(n)]))
                values.push_back(static_cast<float>(*current));
        usual[static_cast<std::size_t>(n)] = Median(values);
    }

    for (int n = 1; n <= kChannels; ++n) {
        const auto i = static_cast<std::size_t>(n);
        struct Window {
            int Days = 0;
            int Starts = 0;
            std::vector<float> Seconds, Peaks, Currents;
        };
        const auto gather = [&](const DayList& list) {
            Window window;
            for (const HealthDay* day : list) {
                const MotorDayHealth& motor = day->Motors[i];
                if (!motor.Recorded)
                    continue;
                ++window.Days;
                window.Starts += motor.Starts;
                window.Seconds.insert(window.Seconds.end(), motor.StartSeconds.begin(),
                                      motor.StartSeconds.end());
                window.Peaks.insert(window.Peaks.end(), motor.StartPeaks.begin(), motor.StartPeaks.end());
                if (const auto current = DayCurrent(motor))
                    window.Currents.push_back(static_cast<float>(*current / LoadOf(*day, n, usual)));
            }
            return window;
        };
        const Window now = gather(recent);
        const Window before = gather(past);
        if (now.Days < kLeastRecentDays || before.Days < kLeastPastDays)
            continue;
        MotorDrift& drift = drifts[i];
        Compare(drift.StartSeconds, now.Seconds, before.Seconds, rules.Margin, kLeastRecentStarts,
                kLeastPastStarts);
        Compare(drift.StartPeak, now.Peaks, before.Peaks, rules.Margin, kLeastRecentStarts, kLeastPastStarts);
        Compare(drift.RunningCurrent, now.Currents, before.Currents, rules.Margin, kLeastRecentDays,
                kLeastPastCurrents);
        const double recentRate = static_cast<double>(now.Starts) / now.Days;
        const double pastRate = static_cast<double>(before.Starts) / before.Days;
        drift.StartsPerDay = {recentRate, pastRate,
                              recentRate > rules.StartsFactor * pastRate &&
                                  recentRate - pastRate >= kLeastMoreStartsPerDay};
    }
    return drifts;
}

MotorHealth ReadMotorHealth(HealthDays& cache, common::TDateTime lastDay, int trendDays,
                            const HealthRules& rules, history::Workspace& work,
                            const history::ProgressCallback& progress) {
    MotorHealth out;
    const int span = std::max(trendDays, rules.RecentDays + rules.PastDays);
    HealthDays::Answer answer = cache.Read(lastDay - span + 1, lastDay, work, progress);
    out.Days = std::move(answer.Days);
    out.Troubles = std::move(answer.Troubles);
    out.Stopped = answer.Stopped;
    if (!out.Stopped)
        out.Drifts = FindDrift(out.Days, lastDay, rules);
    return out;
}

} // namespace registrator::reports
