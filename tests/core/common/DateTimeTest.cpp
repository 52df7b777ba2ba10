#include "common/DateTime.h"

#include "common/Clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace registrator::common;

namespace {

TEST(DateTime, DaysCountFrom30December1899) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
    EXPECT_EQ(EncodeDate(2024, 2, 29), 45351.0);
    EXPECT_EQ(EncodeDate(2000, 3, 1) - EncodeDate(2000, 2, 28), 2.0); // 2000 is a leap year
    EXPECT_EQ(EncodeDate(1900, 3, 1) - EncodeDate(1900, 2, 28), 1.0); // 1900 is not
}

TEST(DateTime, InvalidPartsAreRejected) {
    EXPECT_THROW(EncodeDate(2023, 2, 29), std::invalid_argument);
    EXPECT_THROW(EncodeDate(2024, 13, 1), std::invalid_argument);
    EXPECT_THROW(EncodeDate(2024, 4, 31), std::invalid_argument);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(EncodeTime(0, 60, 0, 0), std::invalid_argument);
    EXPECT_THROW(EncodeTime(0, 0, 0, 1000), std::invalid_argument);
}

TEST(DateTime, NoonIsOneHalf) {
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
}

TEST(DateTime, DecodeGivesBackEveryEncodedDate) {
    for (int year : {1900, 1999, 2000, 2023, 2024, 2100, 9999})
        for (int month = 1; month <= 12; ++month)
            for (int day : {1, 15, 28}) {
                const CalendarDate d = DecodeDate(EncodeDate(year, month, day) + 0.75);
                EXPECT_EQ(d.Year, year);
                EXPECT_EQ(d.Month, month);
                EXPECT_EQ(d.Day, day);
            }
    const CalendarDate leap = DecodeDate(EncodeDate(2024, 2, 29));
    EXPECT_EQ(leap.Month, 2);
    EXPECT_EQ(leap.Day, 29);
}

TEST(DateTime, DecodeTimeIsExactToTheMillisecondOnRealDates) {
    const TDateTime day = EncodeDate(2031, 12, 31);
    for (int hour = 0; hour < 24; hour += 5)
        for (int minute = 0; minute < 60; minute += 7)
            for (int second = 0; second < 60; second += 13)
                for (int ms : {0, 1, 499, 500, 998, 999}) {
                    const TimeOfDay t = DecodeTime(day + EncodeTime(hour, minute, second, ms));
                    ASSERT_EQ(t.Hour, hour);
                    ASSERT_EQ(t.Minute, minute);
                    ASSERT_EQ(t.Second, second);
                    ASSERT_EQ(t.Millisecond, ms);
                }
    const TDateTime last = day + EncodeTime(23, 59, 59, 999);
    EXPECT_EQ(DecodeTime(last).Millisecond, 999);
    EXPECT_EQ(DatePart(last), day);
}

TEST(DateTime, AHairBeforeMidnightStaysOnItsDay) {
    const TDateTime almost = EncodeDate(2024, 1, 1) + 0.9999999999;
    const TimeOfDay t = DecodeTime(almost);
    EXPECT_EQ(t.Hour, 23);
    EXPECT_EQ(t.Minute, 59);
    EXPECT_EQ(t.Second, 59);
    EXPECT_EQ(t.Millisecond, 999);
    EXPECT_LT(TimePart(almost), 1.0);
    EXPECT_EQ(DecodeDate(almost).Day, 1);
}

TEST(DateTime, DateAndTimeParts) {
    const TDateTime noon = EncodeDate(2024, 5, 17) + 0.5;
    EXPECT_EQ(DatePart(noon), EncodeDate(2024, 5, 17));
    EXPECT_EQ(TimePart(noon), 0.5);
    EXPECT_TRUE(SameDay(noon, EncodeDate(2024, 5, 17)));
    EXPECT_TRUE(SameDay(noon, EncodeDate(2024, 5, 17) + EncodeTime(23, 59, 59, 999)));
    EXPECT_FALSE(SameDay(noon, EncodeDate(2024, 5, 18)));
}

TEST(DateTime, RussianTextsWithoutTimeZone) {
    const RegionalSettings ru = RegionalSettings::Russian();
    const TDateTime value = EncodeDate(2024, 3, 5) + EncodeTime(9, 5, 7, 250);
    EXPECT_EQ(DateText(value, ru), "05.03.2024");
    EXPECT_EQ(TimeText(value, ru), "9:05:07");
    EXPECT_EQ(TimeText(EncodeTime(23, 0, 0, 0), ru), "23:00:00");
    EXPECT_EQ(TimeText(0, ru), "0:00:00");
    EXPECT_EQ(ArchiveDateText(value), "05.03.2024");
}

TEST(DateTime, OtherPatterns) {
    const TDateTime value = EncodeDate(2009, 1, 2) + EncodeTime(14, 3, 4, 7);
    EXPECT_EQ(FormatDate(value, "d.M.yy"), "2.1.09");
    EXPECT_EQ(FormatDate(value, "yyyy-MM-dd"), "2009-01-02");
    EXPECT_EQ(FormatDate(value, "dd/MM/yyyy"), "02/01/2009");
    EXPECT_EQ(FormatTime(value, "HH:mm:ss.zzz"), "14:03:04.007");
    EXPECT_EQ(FormatTime(value, "h:mm:ss AP"), "2:03:04 PM");
    EXPECT_EQ(FormatTime(EncodeTime(0, 30, 0, 0), "h:mm ap"), "12:30 am");
    EXPECT_EQ(FormatTime(value, "'at' H:mm"), "at 14:03");
    // A zone in the system's pattern is left out, with the blank before it.
    EXPECT_EQ(FormatTime(value, "HH:mm:ss t"), "14:03:04");
    EXPECT_EQ(FormatTime(value, "HH:mm:ss tttt"), "14:03:04");
}

TEST(Clock, SettableClockMovesAcrossMidnight) {
    SettableClock clock(EncodeDate(2024, 12, 31) + EncodeTime(23, 59, 59, 500));
    EXPECT_EQ(clock.Today(), EncodeDate(2024, 12, 31));
    clock.AdvanceMs(600);
    EXPECT_EQ(clock.Today(), EncodeDate(2025, 1, 1));
    EXPECT_EQ(DecodeTime(clock.TimeOfDayNow()).Millisecond, 100);
    clock.Set(EncodeDate(2020, 6, 1));
    EXPECT_EQ(clock.Now(), EncodeDate(2020, 6, 1));
}

// The Modbus status stamps the last record in Unix seconds: read through the local time a test clock
// was set to, and agreeing with the system's own count when that local time is the system's.
TEST(Clock, UnixSecondsFollowTheLocalTime) {
    SettableClock clock(EncodeDate(2026, 12, 9) + EncodeTime(10, 0, 0, 999));
    const std::int64_t start = clock.UnixSeconds();
    clock.AdvanceMs(90'001);
    EXPECT_EQ(clock.UnixSeconds() - start, 91);
    struct LocalOnly final : Clock {
        TDateTime Now() const override { return SystemClock{}.Now(); }
    };
    EXPECT_LE(std::abs(LocalOnly{}.UnixSeconds() - SystemClock{}.UnixSeconds()), 1);
}

TEST(Clock, SystemClockGivesLocalTime) {
    // Bracketed by the clock it reads: std::time may read a coarser clock that still shows the
    // previous second.
    const auto before = std::chrono::system_clock::now();
    const TDateTime now = SystemClock{}.Now();
    const auto after = std::chrono::system_clock::now();
    const auto localSecond = [](std::chrono::system_clock::time_point point) {
        const std::time_t seconds =
            std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(point));
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &seconds);
#else
        localtime_r(&seconds, &local);
#endif
        return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
               EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), 0);
    };
    EXPECT_GE(now, localSecond(before) - 1e-9);
    EXPECT_LT(now, localSecond(after) + 1.0 / 86400.0);
    // Whole milliseconds, nothing finer.
    const double ms = (now - DatePart(now)) * kMsPerDay;
    EXPECT_NEAR(ms, std::round(ms), 1e-3);
}

} // namespace
