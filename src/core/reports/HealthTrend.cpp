#include "reports/HealthTrend.h"

#include <map>

namespace registrator::reports {

HealthFigureText TextOf(HealthFigure figure) {
    switch (figure) {
    case HealthFigure::Starts:
        return {"starts", "Пусков за сутки", ""};
    case HealthFigure::StartSeconds:
        return {"startSeconds", "Пуск, медиана длительности", "с"};
    case HealthFigure::StartPeak:
        return {"startPeak", "Пик пуска, медиана", "А"};
    case HealthFigure::RunHours:
        return {"runHours", "Часы работы", "ч"};
    case HealthFigure::OverloadMinutes:
        return {"overloadMinutes", "Перегрузки вне пуска", "мин"};
    case HealthFigure::RunningCurrent:
        break;
    }
    return {"runningCurrent", "Средний ток в работе", "А"};
}

std::optional<double> DayFigure(const MotorDayHealth& motor, HealthFigure figure) {
    if (!motor.Recorded)
        return std::nullopt;
    switch (figure) {
    case HealthFigure::Starts:
        return motor.Starts;
    case HealthFigure::StartSeconds:
        return Median(motor.StartSeconds);
    case HealthFigure::StartPeak:
        return Median(motor.StartPeaks);
    case HealthFigure::RunHours:
        return motor.RunSeconds / 3600;
    case HealthFigure::OverloadMinutes:
        return motor.OverloadMinutes;
    case HealthFigure::RunningCurrent:
        break;
    }
    return motor.MeanRunningCurrent;
}

MotorTrend TrendOf(const std::vector<std::shared_ptr<const HealthDay>>& days, int channel,
                   common::TDateTime lastDay, int trendDays, const HealthRules& rules) {
    MotorTrend trend;
    const auto i = static_cast<std::size_t>(channel);
    std::map<common::TDateTime, const MotorDayHealth*> byDay;
    for (const auto& day : days)
        byDay[day->Day] = &day->Motors[i];
    for (int d = trendDays - 1; d >= 0; --d)
        trend.Days.push_back(lastDay - d);
    for (std::size_t f = 0; f < kHealthFigureCount; ++f) {
        FigureTrend& figure = trend.Figures[f];
        for (const common::TDateTime day : trend.Days) {
            const auto it = byDay.find(day);
            figure.Values.push_back(it == byDay.end() ? std::nullopt
                                                      : DayFigure(*it->second, kHealthFigures[f]));
        }
    }

    const common::TDateTime recentFrom = lastDay - rules.RecentDays + 1;
    std::array<std::vector<float>, kHealthFigureCount> past;
    for (auto it = byDay.lower_bound(recentFrom - rules.PastDays); it != byDay.lower_bound(recentFrom);
         ++it) {
        const MotorDayHealth& motor = *it->second;
        for (std::size_t f = 0; f < kHealthFigureCount; ++f) {
            const HealthFigure figure = kHealthFigures[f];
            // Pooled, so the line is the very past the flags hold the recent starts against.
            if (figure == HealthFigure::StartSeconds || figure == HealthFigure::StartPeak) {
                const auto& starts =
                    figure == HealthFigure::StartSeconds ? motor.StartSeconds : motor.StartPeaks;
                if (motor.Recorded)
                    past[f].insert(past[f].end(), starts.begin(), starts.end());
            } else if (const auto value = DayFigure(motor, figure)) {
                past[f].push_back(static_cast<float>(*value));
            }
        }
    }
    for (std::size_t f = 0; f < kHealthFigureCount; ++f)
        trend.Figures[f].PastMedian = Median(std::move(past[f]));
    return trend;
}

bool HealthArchive::ReadWith(const channels::UstavkiTable& present) const {
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const channels::TUstavka& a = present[n];
        const channels::TUstavka& b = history_.Present()[n];
        if (a.Oborot != b.Oborot || a.T_Nom != b.T_Nom || a.T_Max != b.T_Max)
            return false;
    }
    return true;
}

} // namespace registrator::reports
