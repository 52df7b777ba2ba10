#include "reports/ReportPeriod.h"

#include <charconv>

namespace registrator::reports {

namespace {

constexpr double kMinute = 1.0 / 1440;

std::optional<int> TwoDigits(std::string_view text) {
    int value = 0;
    if (text.size() != 2 || std::from_chars(text.data(), text.data() + 2, value).ptr != text.data() + 2)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<ReportPeriod> ShiftPeriod(common::TDateTime day, int shift, const std::vector<int>& starts) {
    if (shift < 1 || static_cast<std::size_t>(shift) > starts.size())
        return std::nullopt;
    const auto i = static_cast<std::size_t>(shift - 1);
    const common::TDateTime from = day + starts[i] * kMinute;
    const common::TDateTime to =
        i + 1 < starts.size() ? day + starts[i + 1] * kMinute : day + 1 + starts[0] * kMinute;
    return ReportPeriod{from, to};
}

ReportPeriod DayPeriod(common::TDateTime day) {
    return {day, day + 1};
}

ReportPeriod MonthPeriod(common::TDateTime day) {
    const common::CalendarDate date = common::DecodeDate(day);
    const common::TDateTime first = common::EncodeDate(date.Year, date.Month, 1);
    const common::TDateTime next = date.Month == 12 ? common::EncodeDate(date.Year + 1, 1, 1)
                                                    : common::EncodeDate(date.Year, date.Month + 1, 1);
    return {first, next};
}

std::optional<common::TDateTime> DateMinuteValue(std::string_view text) {
    const auto day = common::ArchiveDateValue(text.substr(0, 10));
    if (!day)
        return std::nullopt;
    if (text.size() == 10)
        return *day;
    const auto hours = text.size() == 16 && text[10] == ' ' && text[13] == ':' ? TwoDigits(text.substr(11, 2))
                                                                               : std::nullopt;
    const auto minutes = hours ? TwoDigits(text.substr(14, 2)) : std::nullopt;
    if (!minutes || *hours > 23 || *minutes > 59)
        return std::nullopt;
    return *day + (*hours * 60 + *minutes) * kMinute;
}

} // namespace registrator::reports
