#include "reports/MotorHealth.h"

#include "core/history/HistoryTestSupport.h"
#include "reports/HealthTrend.h"
#include "support/DriftingPlant.h"

#include <gtest/gtest.h>

namespace registrator::reports {
namespace {

using Plant = support::DriftingPlant;
constexpr int kDays = Plant::kDays;
constexpr int kLongerStarts = Plant::kLongerStarts;
constexpr int kMoreCurrent = Plant::kMoreCurrent;
constexpr int kDriftFrom = Plant::kDriftFrom;
const common::TDateTime kFirstDay = common::EncodeDate(2026, 4, 1);

TEST(MotorHealth, TheTwoDriftingMotorsAreFlaggedSoonAndNoHealthyOneEver) {
    support::TempFolder folder;
    const history::ArchiveHistory history(folder.Slash(), history::test::Present());
    ASSERT_TRUE((Plant{kFirstDay}).Write(folder.Slash()));
    HealthDays cache(history);
    history::Workspace work;
    const MotorHealth health = ReadMotorHealth(cache, kFirstDay + kDays - 1, 90, {}, work);
    ASSERT_TRUE(health.Troubles.empty()) << health.Troubles[0];
    ASSERT_EQ(health.Days.size(), static_cast<std::size_t>(kDays));
    const MotorDayHealth& day = health.Days[5]->Motors[12];
    EXPECT_EQ(day.RunSeconds, 23 * 3600) << "stopped from midnight to one";
    EXPECT_NEAR(*day.MeanRunningCurrent, 52 * Plant::Load(1, 5), 52 * 0.05);
    EXPECT_EQ(day.Starts, static_cast<int>(day.StartSeconds.size()));

    // The drift passes the 25 % margin on the first day it is over 1.25 times what it was.
    int passes = kDriftFrom;
    while (Plant::Drift(passes) <= 1.25)
        ++passes;
    std::optional<int> longer;
    std::optional<int> current;
    for (int d = 0; d < kDays; ++d) {
        const auto drifts = FindDrift(health.Days, kFirstDay + d);
        for (int n = 1; n <= 72; ++n) {
            const MotorDrift& drift = drifts[static_cast<std::size_t>(n)];
            EXPECT_FALSE(drift.StartPeak.Flagged || drift.StartsPerDay.Flagged)
                << "motor " << n << " day " << d;
            EXPECT_FALSE(drift.StartSeconds.Flagged && n != kLongerStarts) << "motor " << n << " day " << d;
            EXPECT_FALSE(drift.RunningCurrent.Flagged && n != kMoreCurrent)
                << "motor " << n << " day " << d << ": " << drift.RunningCurrent.Recent.value_or(0)
                << " against " << drift.RunningCurrent.Past.value_or(0);
        }
        if (drifts[kLongerStarts].StartSeconds.Flagged && !longer)
            longer = d;
        if (drifts[kMoreCurrent].RunningCurrent.Flagged && !current)
            current = d;
    }
    ASSERT_TRUE(longer && current) << "the drift was never flagged";
    EXPECT_GT(*longer, kDriftFrom);
    EXPECT_LE(*longer, passes + 15);
    EXPECT_GT(*current, kDriftFrom);
    EXPECT_LE(*current, passes + 15);

    // The trend the window and the web view draw: a value for each day with a file, none before, and the
    // line of the past the very one the flag was held against.
    const common::TDateTime last = kFirstDay + kDays - 1;
    const MotorTrend trend = TrendOf(health.Days, kLongerStarts, last, 90, {});
    ASSERT_EQ(trend.Days.size(), 90u);
    const FigureTrend& seconds = trend.Figures[static_cast<std::size_t>(HealthFigure::StartSeconds)];
    EXPECT_FALSE(seconds.Values[29].has_value());
    ASSERT_TRUE(seconds.Values[30] && seconds.Values[89]);
    EXPECT_GT(*seconds.Values[89], 1.3 * *seconds.Values[30]);
    EXPECT_EQ(seconds.PastMedian, health.Drifts[kLongerStarts].StartSeconds.Past);
    EXPECT_EQ(*trend.Figures[static_cast<std::size_t>(HealthFigure::RunHours)].Values[40], 23);
    // A wider margin than the drift has reached flags nothing.
    HealthRules wide;
    wide.Margin = 0.6;
    EXPECT_TRUE(health.Drifts[kLongerStarts].Any());
    EXPECT_FALSE(FindDrift(health.Days, last, wide)[kLongerStarts].Any());

    // A second reading takes the finished days from the cache: the same days, not made again.
    const MotorHealth again = ReadMotorHealth(cache, kFirstDay + kDays - 1, 90, {}, work);
    EXPECT_EQ(again.Days[10], health.Days[10]);
    EXPECT_NE(again.Days.back(), health.Days.back()) << "the newest day may still grow";
}

} // namespace
} // namespace registrator::reports
