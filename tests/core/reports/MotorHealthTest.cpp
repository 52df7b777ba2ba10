#include "reports/MotorHealth.h"

#include "core/history/HistoryTestSupport.h"
#include "events/EventJournal.h"

#include <cmath>
#include <gtest/gtest.h>

namespace registrator::reports {
namespace {

using history::test::kSecond;

constexpr int kDays = 60;
constexpr int kLongerStarts = 7; // its starts lengthen by 1 % a day from day 20
constexpr int kMoreCurrent = 30; // its running current creeps up as much, in the section whose load rises
constexpr int kDriftFrom = 20;
const common::TDateTime kFirstDay = common::EncodeDate(2026, 4, 1);

// Even in [-1, 1], the same for the same arguments.
double Scatter(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    std::uint32_t x = a * 2654435761u ^ (b + 0x9E3779B9u) * 40503u ^ (c + 7u) * 2246822519u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return static_cast<double>(x % 20001) / 10000 - 1;
}

double Drift(int day) {
    return std::pow(1.01, std::max(0, day - kDriftFrom));
}

// Every section's load wavers a little; the third's rises by 30 % from day 30 to day 45, which moves all
// its motors' currents and is no fault of any.
double Load(int section, int day) {
    const double rise = section == 3 ? 0.3 * std::clamp((day - 30) / 15.0, 0.0, 1.0) : 0;
    return 1 + rise + 0.03 * std::sin(day / 5.0 + section);
}

// A plant of 72 motors recorded once a minute for 60 days, each stopped from midnight to one and started a
// few times a day, with the journal's start lines.
void MakeArchive(const history::ArchiveHistory& history, const std::string& folder) {
    channels::ChannelData data;
    data.Ustavki = history::test::Present();
    events::EventJournal journal(folder);
    std::vector<archive::TArhivRec> records(1440);
    for (int d = 0; d < kDays; ++d) {
        const common::TDateTime day = kFirstDay + d;
        for (int n = 1; n <= 72; ++n) {
            const double current = (40 + n) * Load(channels::SectionOfChannel(n), d) *
                                   (1 + 0.04 * Scatter(n, d, 1)) * (n == kMoreCurrent ? Drift(d) : 1);
            for (int m = 0; m < 1440; ++m) {
                records[static_cast<std::size_t>(m)].Time = m / 1440.0;
                records[static_cast<std::size_t>(m)].Tok[n - 1] =
                    m < 60 ? 0 : std::round(current * (1 + 0.02 * Scatter(n, d, 100 + m)));
            }
            const int starts = 3 + static_cast<int>((Scatter(n, d, 2) + 1) * 3);
            for (int s = 0; s < starts; ++s) {
                const double seconds =
                    (3 + n % 5) * (1 + 0.15 * Scatter(n, d, 10 + s)) * (n == kLongerStarts ? Drift(d) : 1);
                const double peak = 5 * (40 + n) * (1 + 0.08 * Scatter(n, d, 50 + s));
                const common::TDateTime at = day + (3600 + s * 7000 + n * 11) * kSecond;
                events::Event event;
                event.Time = at;
                event.Channel = n;
                event.Kind = events::EventKind::StartBegan;
                ASSERT_TRUE(journal.Append(event, data));
                event.Time = at + seconds * kSecond;
                event.Kind = events::EventKind::StartEnded;
                event.Peak = peak;
                event.Seconds = seconds;
                ASSERT_TRUE(journal.Append(event, data));
            }
        }
        history::test::WriteDay(history.DayPath(day), records);
    }
}

TEST(MotorHealth, TheTwoDriftingMotorsAreFlaggedSoonAndNoHealthyOneEver) {
    support::TempFolder folder;
    const history::ArchiveHistory history(folder.Slash(), history::test::Present());
    MakeArchive(history, folder.Slash());
    HealthDays cache(history);
    history::Workspace work;
    const MotorHealth health = ReadMotorHealth(cache, kFirstDay + kDays - 1, 90, {}, work);
    ASSERT_TRUE(health.Troubles.empty()) << health.Troubles[0];
    ASSERT_EQ(health.Days.size(), static_cast<std::size_t>(kDays));
    const MotorDayHealth& day = health.Days[5]->Motors[12];
    EXPECT_EQ(day.RunSeconds, 23 * 3600) << "stopped from midnight to one";
    EXPECT_NEAR(*day.MeanRunningCurrent, 52 * Load(1, 5), 52 * 0.05);
    EXPECT_EQ(day.Starts, static_cast<int>(day.StartSeconds.size()));

    // The drift passes the 25 % margin on the first day it is over 1.25 times what it was.
    int passes = kDriftFrom;
    while (Drift(passes) <= 1.25)
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

    // A second reading takes the finished days from the cache: the same days, not made again.
    const MotorHealth again = ReadMotorHealth(cache, kFirstDay + kDays - 1, 90, {}, work);
    EXPECT_EQ(again.Days[10], health.Days[10]);
    EXPECT_NE(again.Days.back(), health.Days.back()) << "the newest day may still grow";
}

} // namespace
} // namespace registrator::reports
