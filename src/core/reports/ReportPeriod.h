#pragma once

#include "common/DateTime.h"

#include <optional>
#include <string_view>
#include <vector>

namespace registrator::reports {

// [From, To) in local date and time.
struct ReportPeriod {
    common::TDateTime From = 0;
    common::TDateTime To = 0;
};

// Shift `shift` (from 1, in the order of `starts`, minutes of the day ascending) of the day it begins on:
// up to the next shift's start, the last one up to the first's start the next day. Nothing for a shift
// the list does not hold.
std::optional<ReportPeriod> ShiftPeriod(common::TDateTime day, int shift, const std::vector<int>& starts);
ReportPeriod DayPeriod(common::TDateTime day);
// The calendar month that holds `day`.
ReportPeriod MonthPeriod(common::TDateTime day);

// "06.12.2026 14:30" (the time may be left out: midnight); nothing for a text that is no such time.
std::optional<common::TDateTime> DateMinuteValue(std::string_view text);

} // namespace registrator::reports
