#include "service/web/ArchiveDate.h"

#include <cstdio>

namespace registrator::web {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Number(std::string_view digits) {
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

std::optional<std::string> ParseArchiveDate(std::string_view text) {
    if (text.size() != 10 || text[2] != '.' || text[5] != '.')
        return std::nullopt;
    for (std::size_t i : {0, 1, 3, 4, 6, 7, 8, 9})
        if (!IsDigit(text[i]))
            return std::nullopt;
    const int day = Number(text.substr(0, 2));
    const int month = Number(text.substr(3, 2));
    const int year = Number(text.substr(6, 4));
    // The archive's dates count from 1900; no day before it was ever recorded.
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    char rebuilt[32];
    std::snprintf(rebuilt, sizeof rebuilt, "%02d.%02d.%04d", day, month, year);
    return std::string(rebuilt);
}

} // namespace registrator::web
