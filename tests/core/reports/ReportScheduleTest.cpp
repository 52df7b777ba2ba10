// Which scheduled reports are due: at each boundary, after a stop, with the clock set back, and never for a
// time before the archive's first record.
#include "reports/ReportSchedule.h"

#include <gtest/gtest.h>

namespace registrator::reports {
namespace {

const std::vector<int> kTwoShifts = {8 * 60, 20 * 60};
const std::vector<std::string> kCsv = {".csv"};

common::TDateTime At(int year, int month, int day, int hour = 0, int minute = 0) {
    return common::EncodeDate(year, month, day) + common::EncodeTime(hour, minute, 0, 0);
}

std::vector<std::string> Stems(const std::vector<ScheduledReport>& due) {
    std::vector<std::string> stems;
    for (const ScheduledReport& report : due)
        stems.push_back(report.Stem);
    return stems;
}

// What a schedule that ran until `until` has written: every report due by then, with `extensions`.
std::set<std::string> WrittenBy(const std::vector<int>& starts, common::TDateTime until,
                                common::TDateTime first, const std::vector<std::string>& extensions = kCsv) {
    std::set<std::string> files;
    for (const ScheduledReport& report : DueReports(starts, until, first, {}, extensions))
        for (const std::string& extension : extensions)
            files.insert(report.Stem + extension);
    return files;
}

TEST(ReportSchedule, EachBoundaryMakesDueExactlyThePeriodsItEnds) {
    const common::TDateTime first = At(2026, 11, 1);
    struct Case {
        std::vector<int> Starts;
        common::TDateTime Boundary;
        std::vector<std::string> Expected; // newest first; at one moment shift, day, month
    };
    const Case cases[] = {
        {kTwoShifts, At(2026, 12, 9, 8), {"2026-12-08 смена 2"}},
        {kTwoShifts, At(2026, 12, 9, 20), {"2026-12-09 смена 1"}},
        {kTwoShifts, At(2026, 12, 10), {"2026-12-09 сутки"}},
        {kTwoShifts, At(2027, 1, 1), {"2026-12-31 сутки", "2026-12 месяц"}},
        {{0, 12 * 60}, At(2027, 1, 1), {"2026-12-31 смена 2", "2026-12-31 сутки", "2026-12 месяц"}},
        // Three shifts, the last across midnight.
        {{6 * 60, 14 * 60, 22 * 60}, At(2026, 12, 10, 6), {"2026-12-09 смена 3"}},
    };
    for (const Case& c : cases) {
        const common::TDateTime before = c.Boundary - 1.0 / 86400;
        const std::set<std::string> written = WrittenBy(c.Starts, before, first);
        EXPECT_TRUE(DueReports(c.Starts, before, first, written, kCsv).empty());
        EXPECT_EQ(Stems(DueReports(c.Starts, c.Boundary, first, written, kCsv)), c.Expected)
            << common::ArchiveDateText(c.Boundary);
        EXPECT_EQ(NextReportBoundary(c.Starts, before), c.Boundary);
    }
    // The periods and headers the files are named after.
    const ScheduledReport night = ShiftReport(At(2026, 12, 9), 2, kTwoShifts);
    EXPECT_EQ(night.Period.From, At(2026, 12, 9, 20));
    EXPECT_EQ(night.Period.To, At(2026, 12, 10, 8));
    EXPECT_EQ(night.Title, "Смена 2, 09.12.2026 20:00 – 08:00");
    EXPECT_EQ(DayReport(At(2026, 12, 9)).Title, "Сутки 09.12.2026");
    EXPECT_EQ(MonthReport(At(2026, 12, 31)).Title, "Декабрь 2026");
    EXPECT_EQ(MonthReport(At(2026, 12, 31)).Period.From, At(2026, 12, 1));
}

TEST(ReportSchedule, AReportIsWrittenOnlyWhenAllItsFilesAreThere) {
    const std::vector<std::string> all = {".csv", ".pdf", ".xlsx"};
    const common::TDateTime now = At(2026, 12, 9, 9);
    std::set<std::string> written = WrittenBy(kTwoShifts, now, At(2026, 12, 1), all);
    EXPECT_TRUE(DueReports(kTwoShifts, now, At(2026, 12, 1), written, all).empty());
    // A power cut between the CSV and the workbook.
    written.erase("2026-12-08 сутки.xlsx");
    EXPECT_EQ(Stems(DueReports(kTwoShifts, now, At(2026, 12, 1), written, all)),
              std::vector<std::string>{"2026-12-08 сутки"});
}

TEST(ReportSchedule, NothingIsDueBeforeTheFirstRecordAndAStopIsStillReported) {
    const common::TDateTime now = At(2026, 12, 10, 9);
    // The recorder first ran at 06:00 on the 9th: the shift it began in is reported, not the day before.
    EXPECT_EQ(Stems(DueReports(kTwoShifts, now, At(2026, 12, 9, 6), {}, kCsv)),
              (std::vector<std::string>{"2026-12-09 смена 2", "2026-12-09 сутки", "2026-12-09 смена 1",
                                        "2026-12-08 смена 2"}));
    EXPECT_TRUE(DueReports(kTwoShifts, now, std::nullopt, {}, kCsv).empty());
    // Stopped from the 9th 10:00 to now, with what it wrote before: the periods it slept through are due.
    const std::set<std::string> before = WrittenBy(kTwoShifts, At(2026, 12, 9, 10), At(2026, 12, 1));
    EXPECT_EQ(Stems(DueReports(kTwoShifts, now, At(2026, 12, 1), before, kCsv)),
              (std::vector<std::string>{"2026-12-09 смена 2", "2026-12-09 сутки", "2026-12-09 смена 1"}));
}

TEST(ReportSchedule, AClockSetBackRewritesNothingAndForwardAgainMissesNothing) {
    // Recording since the 20th: everything since is written.
    const common::TDateTime first = At(2026, 11, 20);
    const std::set<std::string> written = WrittenBy(kTwoShifts, At(2026, 12, 10, 9), first);
    // Back to yesterday evening: what ended since is written, what has not ended by the clock is not due.
    EXPECT_TRUE(DueReports(kTwoShifts, At(2026, 12, 9, 21), first, written, kCsv).empty());
    EXPECT_EQ(NextReportBoundary(kTwoShifts, At(2026, 12, 9, 21)), At(2026, 12, 10));
    // Forward across two boundaries at once.
    EXPECT_EQ(Stems(DueReports(kTwoShifts, At(2026, 12, 11, 0, 1), first, written, kCsv)),
              (std::vector<std::string>{"2026-12-10 сутки", "2026-12-10 смена 1"}));
}

TEST(ReportSchedule, AFortyDayStopCatchesUpThirtyOneDays) {
    const common::TDateTime stopped = At(2027, 2, 8, 10);
    const common::TDateTime now = stopped + 40;
    const common::TDateTime first = At(2026, 12, 1);
    const std::vector<ScheduledReport> due =
        DueReports(kTwoShifts, now, first, WrittenBy(kTwoShifts, stopped, first), kCsv);
    const std::vector<std::string> stems = Stems(due);
    const auto has = [&](const std::string& stem) {
        return std::find(stems.begin(), stems.end(), stem) != stems.end();
    };
    // 31 days of two shifts and a day each, and February, whose end lies within them; nothing older.
    EXPECT_EQ(due.size(), 31u * 3 + 1);
    EXPECT_TRUE(has("2027-02 месяц"));
    EXPECT_TRUE(has("2027-02-17 смена 1"));
    EXPECT_FALSE(has("2027-02-16 смена 2"));
    EXPECT_FALSE(has("2027-02-16 сутки"));
    EXPECT_EQ(stems.front(), "2027-03-19 смена 2"); // ended at 08:00 today, the newest
    for (const ScheduledReport& report : due) {
        EXPECT_LE(report.Period.To, now);
        EXPECT_GT(report.Period.To, now - kCatchUpDays);
    }
}

TEST(ReportSchedule, ReportsGoBesideTheArchiveFolder) {
    EXPECT_EQ(ReportsFolderOf("Data/"), "Reports/");
    EXPECT_EQ(ReportsFolderOf("/var/lib/registrator/Data/"), "/var/lib/registrator/Reports/");
    EXPECT_EQ(ReportsFolderOf("C:\\Station\\Data\\"), "C:\\Station\\Reports/");
}

} // namespace
} // namespace registrator::reports
