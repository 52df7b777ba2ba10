#include "service/reportfiles/ReportTitles.h"

#include <array>
#include <cmath>

namespace registrator::reportfiles {

namespace {

std::string MinuteText(common::TDateTime time) {
    return common::FormatDate(time, "dd.MM.yyyy") + ' ' + common::FormatTime(time, "HH:mm");
}

// The end of a period as a clock shows it: midnight ends the day before at 24:00 only in words, so a
// period ending at midnight shows that midnight's date.
std::string EndText(const reports::ReportPeriod& period) {
    const common::TDateTime to = std::round(period.To * 1440) / 1440;
    return common::SameDay(period.From, to) ? common::FormatTime(to, "HH:mm") : MinuteText(to);
}

} // namespace

std::string ShiftTitle(int shift, const reports::ReportPeriod& period) {
    return "Смена " + std::to_string(shift) + ", " + MinuteText(period.From) + " – " + EndText(period);
}

std::string DayTitle(common::TDateTime day) {
    return "Сутки " + common::FormatDate(day, "dd.MM.yyyy");
}

std::string MonthTitle(common::TDateTime day) {
    static const std::array<const char*, 12> names = {"Январь",   "Февраль", "Март",   "Апрель",
                                                      "Май",      "Июнь",    "Июль",   "Август",
                                                      "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
    const common::CalendarDate date = common::DecodeDate(day);
    return std::string(names.at(static_cast<std::size_t>(date.Month - 1))) + ' ' + std::to_string(date.Year);
}

std::string RangeTitle(const reports::ReportPeriod& period) {
    return MinuteText(period.From) + " – " + EndText(period);
}

reports::MotorHealth MonthHealth(reports::HealthDays& cache, const reports::ReportPeriod& month,
                                 double margin, history::Workspace& work,
                                 const history::ProgressCallback& progress) {
    const common::TDateTime lastDay = std::floor(month.To - 0.5);
    const int days = static_cast<int>(std::lround(month.To - month.From));
    reports::HealthRules rules;
    rules.Margin = margin;
    return reports::ReadMotorHealth(cache, lastDay, days, rules, work, progress);
}

} // namespace registrator::reportfiles
