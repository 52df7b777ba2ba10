#include "reports/ReportSchedule.h"

#include "common/Utf8Path.h"
#include "history/DayRecords.h"

#include <algorithm>
#include <array>
#include <filesystem>

namespace registrator::reports {

namespace {

constexpr std::array<const char*, 12> kMonthNames = {"Январь",   "Февраль", "Март",   "Апрель",
                                                     "Май",      "Июнь",    "Июль",   "Август",
                                                     "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};

// "2026-12-09", so that the names sort by date.
std::string SortableDate(common::TDateTime day) {
    return common::FormatDate(day, "yyyy-MM-dd");
}

std::string Minute(common::TDateTime time) {
    return common::FormatTime(time, "HH:mm");
}

bool Written(const ScheduledReport& report, const std::set<std::string>& existing,
             const std::vector<std::string>& extensions) {
    return std::all_of(extensions.begin(), extensions.end(),
                       [&](const std::string& extension) { return existing.count(report.Stem + extension); });
}

} // namespace

ScheduledReport ShiftReport(common::TDateTime day, int shift, const std::vector<int>& starts) {
    ScheduledReport report;
    report.Kind = ReportKind::Shift;
    report.Shift = shift;
    report.Period = ShiftPeriod(day, shift, starts).value_or(DayPeriod(day));
    report.Stem = SortableDate(day) + " смена " + std::to_string(shift);
    report.Title = "Смена " + std::to_string(shift) + ", " + common::ArchiveDateText(day) + " " +
                   Minute(report.Period.From) + " – " + Minute(report.Period.To);
    return report;
}

ScheduledReport DayReport(common::TDateTime day) {
    ScheduledReport report;
    report.Kind = ReportKind::Day;
    report.Period = DayPeriod(day);
    report.Stem = SortableDate(day) + " сутки";
    report.Title = "Сутки " + common::ArchiveDateText(day);
    return report;
}

ScheduledReport MonthReport(common::TDateTime day) {
    ScheduledReport report;
    report.Kind = ReportKind::Month;
    report.Period = MonthPeriod(day);
    const common::CalendarDate date = common::DecodeDate(report.Period.From);
    report.Stem = common::FormatDate(report.Period.From, "yyyy-MM") + " месяц";
    report.Title =
        std::string(kMonthNames[static_cast<std::size_t>(date.Month - 1)]) + " " + std::to_string(date.Year);
    return report;
}

std::vector<ScheduledReport> DueReports(const std::vector<int>& starts, common::TDateTime now,
                                        std::optional<common::TDateTime> firstRecord,
                                        const std::set<std::string>& existing,
                                        const std::vector<std::string>& extensions) {
    std::vector<ScheduledReport> due;
    if (!firstRecord)
        return due;
    const common::TDateTime earliest = now - kCatchUpDays;
    const auto consider = [&](ScheduledReport report) {
        const common::TDateTime end = report.Period.To;
        if (end <= now && end > earliest && end > *firstRecord && !Written(report, existing, extensions))
            due.push_back(std::move(report));
    };
    // The day before the window's first: its last shift may end inside the window.
    for (common::TDateTime day = common::DatePart(earliest) - 1; day <= common::DatePart(now); ++day) {
        for (int shift = 1; shift <= static_cast<int>(starts.size()); ++shift)
            consider(ShiftReport(day, shift, starts));
        consider(DayReport(day));
        // A month once, on its first day (or the window's first, for the month the window begins in).
        if (common::DecodeDate(day).Day == 1 || day == common::DatePart(earliest) - 1)
            consider(MonthReport(day));
    }
    // Newest first: after a stop the report just missed comes before the month's.
    std::stable_sort(due.begin(), due.end(), [](const ScheduledReport& a, const ScheduledReport& b) {
        if (a.Period.To != b.Period.To)
            return a.Period.To > b.Period.To;
        return a.Kind < b.Kind;
    });
    return due;
}

common::TDateTime NextReportBoundary(const std::vector<int>& starts, common::TDateTime now) {
    const common::TDateTime today = common::DatePart(now);
    // Midnight ends a day (and a month) whatever the shifts.
    common::TDateTime next = today + 1;
    for (const common::TDateTime day : {today, today + 1})
        for (const int start : starts) {
            const common::TDateTime boundary = day + start / 1440.0;
            if (boundary > now && boundary < next)
                next = boundary;
        }
    return next;
}

std::string ReportsFolderOf(const std::string& archiveFolder) {
    std::string folder = archiveFolder;
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    const std::size_t separator = folder.find_last_of("/\\");
    return (separator == std::string::npos ? std::string() : folder.substr(0, separator + 1)) + "Reports/";
}

std::vector<ReportFile> ListReportFolder(const std::string& folder) {
    std::vector<ReportFile> files;
    std::error_code error;
    std::filesystem::directory_iterator it(common::PathFromUtf8(folder), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (it->is_symlink(ignored) || !it->is_regular_file(ignored))
            continue;
        const std::uintmax_t bytes = it->file_size(ignored);
        files.push_back({common::Utf8FromPath(it->path().filename()), ignored ? 0 : bytes});
    }
    return files;
}

std::set<std::string> ReportNames(const std::vector<ReportFile>& files) {
    std::set<std::string> names;
    for (const ReportFile& file : files)
        names.insert(file.Name);
    return names;
}

std::optional<common::TDateTime> FirstRecordTime(const history::ArchiveHistory& history) {
    for (const common::TDateTime day : history.Days()) {
        std::optional<double> first;
        std::string error;
        history::ReadRecordsBetween(
            history.DayPath(day), nullptr, 0, static_cast<std::int64_t>(common::kMsPerDay),
            [&](std::span<const archive::TArhivRec> block) {
                if (!block.empty())
                    first = block.front().Time;
                return false;
            },
            error, history.LinkPolicy());
        if (first)
            return day + *first;
    }
    return std::nullopt;
}

} // namespace registrator::reports
