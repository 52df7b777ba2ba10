#pragma once

#include "common/DateTime.h"
#include "history/DigestStore.h"
#include "reports/ReportPeriod.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace registrator::reports {

// How far back a start after a stop writes the reports it missed.
constexpr int kCatchUpDays = 31;

enum class ReportKind { Shift, Day, Month };

// One scheduled report: its period, the name its files take in Reports/ (sortable: date, then the shifts,
// the day, the month) and the period as its header names it.
struct ScheduledReport {
    ReportKind Kind = ReportKind::Shift;
    int Shift = 0; // from 1, for a shift
    ReportPeriod Period;
    std::string Stem; // "2026-12-09 смена 1", "2026-12-09 сутки", "2026-12 месяц"
    std::string Title; // "Смена 1, 09.12.2026 08:00 – 20:00", "Сутки 09.12.2026", "Декабрь 2026"
};

ScheduledReport ShiftReport(common::TDateTime day, int shift, const std::vector<int>& starts);
ScheduledReport DayReport(common::TDateTime day);
ScheduledReport MonthReport(common::TDateTime day);

// The reports to write at `now`: every shift, day and month that has ended by then, no more than
// kCatchUpDays before it, and after `firstRecord` (no report of a time before the recorder existed; none at
// all for an archive without records), whose files are not all among `existing` (file names in Reports/):
// a stem with each of `extensions`. The newest first, and at one moment the shift before the day before the
// month.
std::vector<ScheduledReport> DueReports(const std::vector<int>& starts, common::TDateTime now,
                                        std::optional<common::TDateTime> firstRecord,
                                        const std::set<std::string>& existing,
                                        const std::vector<std::string>& extensions);

// The first moment after `now` at which a shift, a day or a month ends.
common::TDateTime NextReportBoundary(const std::vector<int>& starts, common::TDateTime now);

// The folder reports go to: `Reports` beside the archive folder ("Data/" gives "Reports/").
std::string ReportsFolderOf(const std::string& archiveFolder);

// A file in Reports/: only regular files directly in it, never a link, are reports.
struct ReportFile {
    std::string Name; // UTF-8
    std::uint64_t Bytes = 0;
};
// Nothing for a missing or unreadable folder; in no particular order.
std::vector<ReportFile> ListReportFolder(const std::string& folder);
// The names of ListReportFolder.
std::set<std::string> ReportNames(const std::vector<ReportFile>& files);

// The date and time of the archive's first record; nothing without one.
std::optional<common::TDateTime> FirstRecordTime(const history::ArchiveHistory& history);

} // namespace registrator::reports
