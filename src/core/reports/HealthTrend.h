#pragma once

#include "reports/MotorHealth.h"

#include <array>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace registrator::reports {

// The daily figures a motor's health is watched by, in the order every outlet shows them.
enum class HealthFigure { Starts, StartSeconds, StartPeak, RunHours, OverloadMinutes, RunningCurrent };
constexpr std::size_t kHealthFigureCount = 6;
constexpr std::array<HealthFigure, kHealthFigureCount> kHealthFigures = {
    HealthFigure::Starts,   HealthFigure::StartSeconds,    HealthFigure::StartPeak,
    HealthFigure::RunHours, HealthFigure::OverloadMinutes, HealthFigure::RunningCurrent};

struct HealthFigureText {
    std::string_view Key;   // as JSON names it
    std::string_view Title; // as the window names it, UTF-8
    std::string_view Unit;
};
HealthFigureText TextOf(HealthFigure figure);

// A motor's figure of one day; nothing where the day does not tell (not recorded, no start, no run).
std::optional<double> DayFigure(const MotorDayHealth& motor, HealthFigure figure);

struct FigureTrend {
    std::vector<std::optional<double>> Values; // a value per day of the trend
    // Over the rules' past days: of all the starts for a start's duration and peak (as the flags count
    // them), else of the daily values.
    std::optional<double> PastMedian;
};

struct MotorTrend {
    std::vector<common::TDateTime> Days; // every day of the trend, with a file or not
    std::array<FigureTrend, kHealthFigureCount> Figures;
};

// One motor's `trendDays` ending with `lastDay`, from `days` in date order.
MotorTrend TrendOf(const std::vector<std::shared_ptr<const HealthDay>>& days, int channel,
                   common::TDateTime lastDay, int trendDays, const HealthRules& rules);

// An archive's history and the health days read from it, held together so that work off the GUI thread
// keeps both for as long as it runs, whoever asked for it.
class HealthArchive {
public:
    explicit HealthArchive(history::ArchiveHistory history) : history_(std::move(history)), days_(history_) {}
    HealthArchive(const HealthArchive&) = delete;
    HealthArchive& operator=(const HealthArchive&) = delete;

    const history::ArchiveHistory& History() const { return history_; }
    HealthDays& Days() { return days_; }
    // Whether the days were read with the thresholds of `present`: a changed switch-off current changes
    // every day without a snapshot.
    bool ReadWith(const channels::UstavkiTable& present) const;

private:
    const history::ArchiveHistory history_;
    HealthDays days_;
};

} // namespace registrator::reports
