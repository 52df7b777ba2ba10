#pragma once

#include "common/RegionalSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace registrator::common {

// Days since 30 December 1899; the fraction is the time of day. Archive files and the
// settings snapshot store this value byte for byte, so it stays a plain double.
using TDateTime = double;

constexpr double kMsPerDay = 86400000.0;

struct CalendarDate {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
};

struct TimeOfDay {
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

// A part out of its range (31 February, hour 24) throws std::invalid_argument.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
CalendarDate DecodeDate(TDateTime value);
TimeOfDay DecodeTime(TDateTime value);

// Whole days of a date-time (dates after 1899 only: the date part is the floor).
TDateTime DatePart(TDateTime value);
// Time of day as a fraction of a day, rounded to the millisecond.
TDateTime TimePart(TDateTime value);
bool SameDay(TDateTime a, TDateTime b);

// Formats after the regional patterns: d, dd, M, MM, yy, yyyy for dates; H, HH (also h, hh), m, mm,
// s, ss, z, zzz for times. Other characters are copied.
std::string FormatDate(TDateTime value, const std::string& pattern);
std::string FormatTime(TDateTime value, const std::string& pattern);
std::string DateText(TDateTime value, const RegionalSettings& settings);
std::string TimeText(TDateTime value, const RegionalSettings& settings);

// The date text of archive file names: always dd.MM.yyyy, as existing installations have.
std::string ArchiveDateText(TDateTime value);
// The day an archive file name's "dd.MM.yyyy" names, or nothing when it names none.
std::optional<TDateTime> ArchiveDateValue(std::string_view text);

} // namespace registrator::common
