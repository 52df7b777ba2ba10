#include "monitor/DaySummary.h"

#include <gtest/gtest.h>
#include <limits>
#include <utility>
#include <vector>

namespace registrator::monitor {
namespace {

constexpr double kSecond = 1.0 / 86400.0;

// Channel 5 reads `amperes` at each second of the day given.
std::vector<archive::TArhivRec> Day(const std::vector<std::pair<int, double>>& readings) {
    std::vector<archive::TArhivRec> records(readings.size());
    for (std::size_t i = 0; i < readings.size(); ++i) {
        records[i].Time = readings[i].first * kSecond;
        records[i].Tok[4] = readings[i].second;
    }
    return records;
}

channels::TUstavka Thresholds() {
    channels::TUstavka u;
    u.Oborot = 10; // off at or below 10 A
    u.T_Nom = 100;
    u.T_Max = 150;
    return u;
}

TEST(DaySummary, ADayStartingWhileRunningCountsNoStartButEachRestart) {
    // 08:00:00 on, running; off for two seconds; on again above nominal.
    const int t = 8 * 3600;
    const auto day = Day({{t, 50}, {t + 1, 60}, {t + 2, 5}, {t + 3, 0}, {t + 4, 120}, {t + 5, 80}});
    const MotorDaySummary s = SummarizeMotorDay(day, 5, Thresholds());
    EXPECT_EQ(s.Records, 6u);
    EXPECT_EQ(s.Starts, 1);
    EXPECT_NEAR(s.RunningSeconds, 3, 1e-6); // the last record stands for one period
    EXPECT_NEAR(s.OffSeconds, 2, 1e-6);
    EXPECT_NEAR(s.AboveNominalSeconds, 1, 1e-6);
    EXPECT_NEAR(s.NoDataSeconds, 0, 1e-6);
    EXPECT_EQ(s.Peak, 120);
    EXPECT_NEAR(s.PeakTime, (t + 4) * kSecond, 1e-9);
    EXPECT_TRUE(s.Overloads.empty());
}

TEST(DaySummary, AGapIsNoDataAndEndsAnOverloadEpisode) {
    // Overloaded at 10:00:00-10:00:02, the program stopped for a minute, overloaded again on return.
    const int t = 10 * 3600;
    const auto day = Day({{t, 160}, {t + 1, 200}, {t + 2, 170}, {t + 62, 155}, {t + 63, 90}, {t + 64, 90}});
    const MotorDaySummary s = SummarizeMotorDay(day, 5, Thresholds());
    EXPECT_NEAR(s.NoDataSeconds, 59, 1e-6);
    EXPECT_NEAR(s.OverloadedSeconds, 4, 1e-6);
    ASSERT_EQ(s.Overloads.size(), 2u);
    EXPECT_NEAR(s.Overloads[0].Start, t * kSecond, 1e-9);
    EXPECT_NEAR(s.Overloads[0].End, (t + 3) * kSecond, 1e-9);
    EXPECT_EQ(s.Overloads[0].Peak, 200);
    EXPECT_NEAR(s.Overloads[0].PeakTime, (t + 1) * kSecond, 1e-9);
    // The viewer jumps the chart to these records.
    EXPECT_EQ(s.Overloads[0].FirstRecord, 0u);
    EXPECT_EQ(s.Overloads[0].LastRecord, 2u);
    EXPECT_EQ(s.Overloads[1].FirstRecord, 3u);
    EXPECT_EQ(s.Overloads[1].LastRecord, 3u);
    EXPECT_NEAR(s.Overloads[1].Start, (t + 62) * kSecond, 1e-9);
    EXPECT_NEAR(s.Overloads[1].End, (t + 63) * kSecond, 1e-9);
    EXPECT_EQ(s.Starts, 0);
}

TEST(DaySummary, AMotorNeverRunningAndAReadingOnAThreshold) {
    const auto idle = Day({{0, 0}, {1, 0}, {2, 3}});
    const MotorDaySummary off = SummarizeMotorDay(idle, 5, Thresholds());
    EXPECT_NEAR(off.OffSeconds, 3, 1e-6);
    EXPECT_EQ(off.Starts, 0);
    EXPECT_EQ(off.Peak, 3);

    // Exactly on the nominal current the panel keeps its colour, and so does the summary.
    const auto onThreshold = Day({{0, 120}, {1, 100}, {2, 100}, {3, 50}});
    const MotorDaySummary s = SummarizeMotorDay(onThreshold, 5, Thresholds());
    EXPECT_NEAR(s.AboveNominalSeconds, 3, 1e-6);
    EXPECT_NEAR(s.RunningSeconds, 1, 1e-6);

    const MotorDaySummary empty = SummarizeMotorDay({}, 5, Thresholds());
    EXPECT_EQ(empty.Records, 0u);
    EXPECT_EQ(empty.OffSeconds + empty.RunningSeconds + empty.NoDataSeconds, 0);
}

// A three-record day took the larger middle spacing (twelve hours) as its period and credited its last
// record with half a day past midnight; damaged readings showed as "Выше критического" and as durations
// like "-2562047788015215:-30:-8".
TEST(DaySummary, FewRecordsNeverStretchPastMidnightAndDamagedReadingsAreNoData) {
    const int t = 8 * 3600;
    const MotorDaySummary three =
        SummarizeMotorDay(Day({{t, 50}, {t + 1, 50}, {t + 43200, 50}}), 5, Thresholds());
    EXPECT_NEAR(three.RunningSeconds, 3, 1e-6);
    EXPECT_NEAR(three.NoDataSeconds, 43198, 1e-6);

    auto late = Day({{86397, 50}, {86398, 50}, {86399, 50}});
    late[2].Time = (86399 + 0.5) * kSecond; // half a second before midnight
    EXPECT_NEAR(SummarizeMotorDay(late, 5, Thresholds()).RunningSeconds, 3, 1e-6);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    auto damaged =
        Day({{t, 50}, {t + 1, nan}, {t + 2, inf}, {t + 3, 1e300}, {t + 4, -5}, {t + 5, 200}, {t + 6, 50}});
    damaged.push_back(damaged.back());
    damaged.back().Time = nan; // a record that cannot be placed in the day stands for nothing
    const MotorDaySummary s = SummarizeMotorDay(damaged, 5, Thresholds());
    EXPECT_EQ(s.Records, 8u);
    EXPECT_NEAR(s.RunningSeconds, 2, 1e-6);
    EXPECT_NEAR(s.OverloadedSeconds, 1, 1e-6);
    EXPECT_NEAR(s.NoDataSeconds, 4, 1e-6);
    EXPECT_EQ(s.Peak, 200);
    EXPECT_EQ(s.OverloadCount, 1u);
    EXPECT_EQ(s.Starts, 0);
}

} // namespace
} // namespace registrator::monitor
