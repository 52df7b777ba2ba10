#include "HistoryTestSupport.h"
#include "archive/CsvExport.h"
#include "common/NumberText.h"
#include "history/PeriodCsv.h"
#include "history/PeriodQuery.h"

#include <gtest/gtest.h>

namespace registrator::history {
namespace {

using namespace test;

common::TDateTime At(common::TDateTime day, int seconds) {
    return day + seconds * kSecond;
}

TEST(PeriodQuery, AMissingDayIsAGapAndNoSeriesPassesItsPoints) {
    support::TempFolder folder;
    const ArchiveHistory history(folder.Slash(), Present());
    WriteDay(history.DayPath(kDay1), Seconds(0, 86400));
    WriteDay(history.DayPath(kDay1 + 2), Seconds(0, 7200));
    Workspace work;
    const std::vector<int> eight = {1, 2, 3, 4, 10, 20, 40, 72};
    for (const std::size_t max : {2000u, 300u, 50u}) {
        const SeriesAnswer answer = QuerySeries(history, {kDay1, kDay1 + 3, eight, max}, work);
        ASSERT_EQ(answer.Channels.size(), 8u);
        for (const Series& s : answer.Channels) {
            ASSERT_LE(s.Points.size(), max);
            std::size_t gaps = 0;
            for (std::size_t i = 0; i < s.Points.size(); ++i) {
                const SeriesPoint& p = s.Points[i];
                if (p.Records == 0) {
                    ++gaps;
                    EXPECT_TRUE(std::isnan(p.Min) && std::isnan(p.Max)) << "a gap is drawn as a break";
                    EXPECT_TRUE(i > 0 && i + 1 < s.Points.size() && s.Points[i - 1].Records > 0 &&
                                s.Points[i + 1].Records > 0);
                    continue;
                }
                EXPECT_TRUE(p.Time < kDay1 + 1 || p.Time >= kDay1 + 2) << "a point inside the missing day";
                EXPECT_LE(p.Min, p.Mean);
                EXPECT_LE(p.Mean, p.Max);
            }
            EXPECT_EQ(gaps, 1u) << "max " << max;
        }
    }
    // Six days a point for a year: the hours of each digest, never its minutes.
    const SeriesAnswer year = QuerySeries(history, {kDay1 - 200, kDay1 + 165, {5}, 2000}, work);
    EXPECT_EQ(year.StepSeconds, 6 * 3600);
    ASSERT_EQ(year.Channels[0].Points.size(), 4u + 1 + 1);
    EXPECT_EQ(year.Channels[0].Points[0].Records, 6u * 3600);
}

TEST(PeriodQuery, ZoomedInTheRecordsThemselvesComeFromBothRunsOfAClockSetBack) {
    support::TempFolder folder;
    const ArchiveHistory history(folder.Slash(), Present());
    // 00:00-06:00, then the clock set back to 04:00 and on to 08:00.
    auto records = Seconds(0, 6 * 3600);
    Append(records, Seconds(4 * 3600, 4 * 3600));
    WriteDay(history.DayPath(kDay1), records);
    Workspace work;
    // Half a minute at 04:30 and at 07:00: 30 records from each run, then from the second only.
    for (const auto& [start, expected] : {std::pair{4 * 3600 + 1800, 60u}, std::pair{7 * 3600, 30u}}) {
        const SeriesAnswer answer =
            QuerySeries(history, {At(kDay1, start), At(kDay1, start + 30), {2}, 2000}, work);
        ASSERT_TRUE(answer.FromRecords);
        const auto& points = answer.Channels[0].Points;
        ASSERT_EQ(points.size(), expected);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const int second = start + static_cast<int>(i / (expected / 30));
            EXPECT_NEAR(points[i].Time, At(kDay1, second), 1e-9);
            EXPECT_EQ(points[i].Max, Reading(2, second));
        }
    }
    // An hour at 2000 points: buckets of 1.8 s from the records; implausible readings are no data.
    const SeriesAnswer hour = QuerySeries(history, {At(kDay1, 7200), At(kDay1, 10800), {3}, 2000}, work);
    ASSERT_TRUE(hour.FromRecords);
    EXPECT_NEAR(hour.StepSeconds, 1.8, 1e-9);
    std::size_t counted = 0;
    for (const SeriesPoint& p : hour.Channels[0].Points)
        counted += p.Records;
    std::size_t plausible = 0;
    for (int s = 7200; s < 10800; ++s)
        plausible += Reading(3, s) >= 0 ? 1 : 0;
    EXPECT_EQ(counted, plausible);
    EXPECT_LE(hour.Channels[0].Points.size(), 2000u);

    // As many records as points, with a stop among them: without the fix its gap made one point too many.
    auto holed = Seconds(0, 100);
    Append(holed, Seconds(200, 100));
    WriteDay(history.DayPath(kDay1 + 5), holed);
    const SeriesAnswer stop = QuerySeries(history, {At(kDay1 + 5, 0), At(kDay1 + 5, 300), {2}, 200}, work);
    const auto& points = stop.Channels[0].Points;
    EXPECT_LE(points.size(), 200u);
    EXPECT_EQ(
        std::count_if(points.begin(), points.end(), [](const SeriesPoint& p) { return p.Records == 0; }), 1);
}

TEST(PeriodCsv, RowsAsTheReadingsExportWritesThemAndMinutesFromTheDigest) {
    support::TempFolder folder;
    const ArchiveHistory history(folder.Slash(), Present());
    auto day = Seconds(0, 3000);
    day[5].Tok[0] = 1e-7; // written the long way
    day[6].Tok[0] = 1.5e20;
    WriteDay(history.DayPath(kDay1), day);
    WriteDay(history.DayPath(kDay1 + 1), Seconds(0, 100));
    Workspace work;
    const auto table = [&](const CsvRequest& request) {
        std::string text;
        const CsvOutcome outcome = WritePeriodCsv(
            history, request,
            [&](std::string_view part) {
                text += part;
                return true;
            },
            work);
        EXPECT_FALSE(outcome.Stopped);
        return std::pair{text, outcome.Rows};
    };

    for (const auto form : {archive::CsvForm::Plain, archive::CsvForm::Spreadsheet}) {
        // From 00:00:00 to 00:01:00 of the second day: the first day's records, then the second's.
        const auto [text, rows] = table({kDay1, At(kDay1 + 1, 60), {1, 3}, CsvRows::PerRecord, form});
        EXPECT_EQ(rows, 3060u);
        std::string expected;
        archive::ReadingsCsv csv({1, 3}, form);
        csv.Rows(day, expected);
        const auto second = Seconds(0, 60);
        csv.Rows(second, expected);
        const char separator = form == archive::CsvForm::Plain ? ',' : ';';
        // Each row of the export with the day's date in front.
        std::string withDates;
        std::size_t row = 0;
        for (std::size_t at = 0; at < expected.size(); ++row) {
            const std::size_t end = expected.find("\r\n", at) + 2;
            withDates += (row < 3000 ? "09.03.2026" : "10.03.2026") + std::string(1, separator) +
                         expected.substr(at, end - at);
            at = end;
        }
        const std::size_t body = text.find("\r\n") + 2;
        EXPECT_EQ(text.substr(body), withDates);
        EXPECT_EQ(text.substr(0, body), form == archive::CsvForm::Plain ? "date,time,ch1,ch3\r\n"
                                                                        : "\xEF\xBB\xBF"
                                                                          "date;time;ch1 1;ch3 3\r\n");
    }

    // An hour from 00:20 of the first day: 30 minutes with records, one of them checked field by field.
    const auto [minutes, count] = table({At(kDay1, 1200), At(kDay1, 4800), {2}, CsvRows::PerMinute});
    EXPECT_EQ(count, 30u);
    EXPECT_EQ(minutes.substr(0, minutes.find("\r\n")), "date,time,ch2_min,ch2_mean,ch2_max,ch2_records");
    double lo = 1e300, hi = -1, sum = 0;
    for (int s = 1200; s < 1260; ++s) {
        lo = std::min(lo, Reading(2, s));
        hi = std::max(hi, Reading(2, s));
        sum += Reading(2, s);
    }
    const std::string first = minutes.substr(minutes.find("\r\n") + 2);
    EXPECT_EQ(first.substr(0, first.find("\r\n")), "09.03.2026,00:20:00.000," + common::FloatToText(lo, '.') +
                                                       "," + common::FloatToText(sum / 60, '.') + "," +
                                                       common::FloatToText(hi, '.') + ",60");
}

TEST(PeriodCsv, NumbersAndTimesAreWrittenAsTheExportWritesThem) {
    for (const double v :
         {0.0, -0.0, 1.0, 0.1, 123.456789012345678, 1e14, 999999999999999.0, 1e15, 1e-5, 1.25e-5, 0.0001,
          -42.5, 1e300, std::nan(""), 1.0 / 0.0, 5e-324, 1.7976931348623157e308}) {
        for (const char decimal : {'.', ','}) {
            std::string fast;
            common::AppendFloatText(fast, v, decimal);
            EXPECT_EQ(fast, common::FloatToText(v, decimal)) << v;
        }
    }
    for (const double t : {0.0, 0.5, 86399.9996 * kSecond, 0.99999999999, 12345.678 * kSecond}) {
        std::string fast;
        archive::AppendTimeOfDayText(fast, t, ',');
        EXPECT_EQ(fast, archive::TimeOfDayText(t, ',')) << t;
    }
}

} // namespace
} // namespace registrator::history
