#pragma once

#include "history/DigestStore.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace registrator::reports {

// One motor's day, as its health over months is read from it.
struct MotorDayHealth {
    bool Recorded = false; // the day holds plausible readings of the motor
    int Starts = 0;
    std::vector<float> StartSeconds; // each start's duration and peak, as the journal gives them
    std::vector<float> StartPeaks;
    double RunSeconds = 0;
    double OverloadMinutes = 0; // overloads outside starts
    std::optional<double> MeanRunningCurrent;
};

struct HealthDay {
    common::TDateTime Day = 0;
    std::array<MotorDayHealth, channels::kChannelCount + 1> Motors{}; // [channel]
};

// The median of the values, nothing for none; the mean of the two middle ones for an even count.
std::optional<double> Median(std::vector<float> values);

// Each day's health figures, made from the day's digest and journal once and kept while the day file, its
// snapshot and its journal stay as they were (the newest day, which may grow, is made each time). One
// object serves any number of threads, each with its own Workspace.
class HealthDays {
public:
    explicit HealthDays(const history::ArchiveHistory& history) : history_(history) {}

    struct Answer {
        std::vector<std::shared_ptr<const HealthDay>> Days; // the days with a day file or a journal, in order
        std::vector<std::string> Troubles;                  // "DD.MM.YYYY.txt: reason"
        bool Stopped = false;
    };
    Answer Read(common::TDateTime first, common::TDateTime last, history::Workspace& work,
                const history::ProgressCallback& progress = {});

private:
    struct Stamp {
        std::uintmax_t Sizes[3] = {};
        std::int64_t Times[3] = {};
        bool operator==(const Stamp&) const = default;
    };
    Stamp StampOf(common::TDateTime day) const;

    const history::ArchiveHistory& history_;
    std::mutex mutex_;
    std::map<common::TDateTime, std::pair<Stamp, std::shared_ptr<const HealthDay>>> days_;
};

// How a motor's last days are held against its own past.
struct HealthRules {
    double Margin = 0.25; // a figure this share beyond its past is a drift
    int RecentDays = 7;
    int PastDays = 60; // the days before the recent ones
    double StartsFactor = 2;
};

// One figure of the recent days against the same of the past; empty where there were too few to tell.
struct Drift {
    std::optional<double> Recent;
    std::optional<double> Past;
    bool Flagged = false;
};

struct MotorDrift {
    Drift StartSeconds;   // the median start duration
    Drift StartPeak;      // the median start peak
    Drift StartsPerDay;   // the mean starts per recorded day
    Drift RunningCurrent; // the median of the daily mean running currents, each over its section's load
    bool Any() const {
        return StartSeconds.Flagged || StartPeak.Flagged || StartsPerDay.Flagged || RunningCurrent.Flagged;
    }
};

// Each motor's recent days (the `RecentDays` ending with `asOf`) against the `PastDays` before them, from
// `days` in date order (days outside both are passed over).
std::array<MotorDrift, channels::kChannelCount + 1>
FindDrift(const std::vector<std::shared_ptr<const HealthDay>>& days, common::TDateTime asOf,
          const HealthRules& rules = {});

// The trend of the `trendDays` ending with `lastDay` and the drift as of `lastDay`, in one call.
struct MotorHealth {
    std::vector<std::shared_ptr<const HealthDay>> Days; // the trend's days and the past before them
    std::array<MotorDrift, channels::kChannelCount + 1> Drifts{};
    std::vector<std::string> Troubles;
    bool Stopped = false;
};
MotorHealth ReadMotorHealth(HealthDays& cache, common::TDateTime lastDay, int trendDays,
                            const HealthRules& rules, history::Workspace& work,
                            const history::ProgressCallback& progress = {});

} // namespace registrator::reports
