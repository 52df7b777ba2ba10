#include "common/DateTime.h"

#include <cmath>
#include <stdexcept>

namespace registrator::common {

namespace {

// 30 December 1899 counted as days from 1 March of year 0 of the proleptic Gregorian calendar.
constexpr std::int64_t kEpochDays = 693899;
constexpr std::int64_t kMsPerDayInt = 86400000;

std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

CalendarDate CivilFromDays(std::int64_t z) {
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    CalendarDate date;
    date.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    date.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    date.Year = static_cast<int>(yoe + era * 400 + (date.Month <= 2 ? 1 : 0));
    return date;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Milliseconds since midnight; a value a hair before midnight stays on its own day.
std::int64_t MsOfDay(TDateTime value) {
    if (!std::isfinite(value))
        return 0;
    const double fraction = value - std::floor(value);
    const auto ms = static_cast<std::int64_t>(std::llround(fraction * kMsPerDay));
    return ms >= kMsPerDayInt ? kMsPerDayInt - 1 : ms;
}

void AppendNumber(std::string& out, int value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        out.append(static_cast<std::size_t>(width) - digits.size(), '0');
    out += digits;
}

std::size_t RunLength(const std::string& pattern, std::size_t pos) {
    std::size_t end = pos;
    while (end < pattern.size() && pattern[end] == pattern[pos])
        ++end;
    return end - pos;
}

// Text in single quotes is copied without its quotes; two quotes give one.
std::size_t CopyQuoted(const std::string& pattern, std::size_t pos, std::string& out) {
    std::size_t i = pos + 1;
    if (i < pattern.size() && pattern[i] == '\'') {
        out += '\'';
        return 2;
    }
    while (i < pattern.size() && pattern[i] != '\'')
        out += pattern[i++];
    return i - pos + (i < pattern.size() ? 1 : 0);
}

bool HasAmPm(const std::string& pattern) {
    return pattern.find("AP") != std::string::npos || pattern.find("ap") != std::string::npos;
}

} // namespace

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        throw std::invalid_argument("invalid date");
    return static_cast<double>(DaysFromCivil(year, month, day) - kEpochDays);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        throw std::invalid_argument("invalid time");
    const std::int64_t ms =
        ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<double>(ms) / kMsPerDay;
}

CalendarDate DecodeDate(TDateTime value) {
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        return {};
    return CivilFromDays(static_cast<std::int64_t>(std::floor(value)) + kEpochDays);
}

TimeOfDay DecodeTime(TDateTime value) {
    std::int64_t ms = MsOfDay(value);
    TimeOfDay time;
    time.Millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    time.Second = static_cast<int>(ms % 60);
    ms /= 60;
    time.Minute = static_cast<int>(ms % 60);
    time.Hour = static_cast<int>(ms / 60);
    return time;
}

TDateTime DatePart(TDateTime value) {
    return std::floor(value);
}

TDateTime TimePart(TDateTime value) {
    return static_cast<double>(MsOfDay(value)) / kMsPerDay;
}

bool SameDay(TDateTime a, TDateTime b) {
    return DatePart(a) == DatePart(b);
}

std::string FormatDate(TDateTime value, const std::string& pattern) {
    const CalendarDate date = DecodeDate(value);
    std::string out;
    for (std::size_t pos = 0; pos < pattern.size();) {
        const char c = pattern[pos];
        if (c == '\'') {
            pos += CopyQuoted(pattern, pos, out);
            continue;
        }
        const std::size_t run = RunLength(pattern, pos);
        if (c == 'd')
            AppendNumber(out, date.Day, run >= 2 ? 2 : 1);
        else if (c == 'M')
            AppendNumber(out, date.Month, run >= 2 ? 2 : 1);
        else if (c == 'y') {
            if (run >= 3)
                AppendNumber(out, date.Year, 4);
            else
                AppendNumber(out, date.Year % 100, 2);
        } else
            out.append(run, c);
        pos += run;
    }
    return out;
}

std::string FormatTime(TDateTime value, const std::string& pattern) {
    const TimeOfDay time = DecodeTime(value);
    const bool twelveHour = HasAmPm(pattern);
    std::string out;
    for (std::size_t pos = 0; pos < pattern.size();) {
        const char c = pattern[pos];
        if (c == '\'') {
            pos += CopyQuoted(pattern, pos, out);
            continue;
        }
        std::size_t run = RunLength(pattern, pos);
        if (c == 'H' || c == 'h') {
            int hour = time.Hour;
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            AppendNumber(out, hour, run >= 2 ? 2 : 1);
        } else if (c == 'm')
            AppendNumber(out, time.Minute, run >= 2 ? 2 : 1);
        else if (c == 's')
            AppendNumber(out, time.Second, run >= 2 ? 2 : 1);
        else if (c == 'z')
            AppendNumber(out, time.Millisecond, run >= 3 ? 3 : 1);
        else if ((c == 'A' || c == 'a') && pos + 1 < pattern.size() &&
                 (pattern[pos + 1] == 'P' || pattern[pos + 1] == 'p')) {
            const bool pm = time.Hour >= 12;
            out += c == 'A' ? (pm ? "PM" : "AM") : (pm ? "pm" : "am");
            run = 2;
        } else if (c == 't') {
            // Time texts never show a zone: drop it with the blank before it.
            while (!out.empty() && out.back() == ' ')
                out.pop_back();
        } else
            out.append(run, c);
        pos += run;
    }
    return out;
}

std::string DateText(TDateTime value, const RegionalSettings& settings) {
    return FormatDate(value, settings.ShortDateFormat);
}

std::string TimeText(TDateTime value, const RegionalSettings& settings) {
    return FormatTime(value, settings.LongTimeFormat);
}

std::string ArchiveDateText(TDateTime value) {
    return FormatDate(value, "dd.MM.yyyy");
}

std::optional<TDateTime> ArchiveDateValue(std::string_view text) {
    if (text.size() != 10 || text[2] != '.' || text[5] != '.')
        return std::nullopt;
    int parts[3] = {};
    const std::size_t starts[3] = {0, 3, 6}, lengths[3] = {2, 2, 4};
    for (int p = 0; p < 3; ++p)
        for (std::size_t i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return std::nullopt;
            parts[p] = parts[p] * 10 + (text[i] - '0');
        }
    try {
        return EncodeDate(parts[2], parts[1], parts[0]);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

} // namespace registrator::common
