#pragma once

#include "common/DateTime.h"

#include <QString>

namespace registrator::ui {

// The periods the operator picks: a day, the 7 days or the month ending with a day, or any range.
enum class PeriodKind { Day, Week, Month, Range };

struct PeriodSpan {
    PeriodKind Kind = PeriodKind::Day;
    common::TDateTime From = 0; // [From, To)
    common::TDateTime To = 0;
};

// The day, the 7 days or the month (from the same date of the month before) that end with `day`.
PeriodSpan PeriodEndingOn(PeriodKind kind, common::TDateTime day);
// `steps` periods later, earlier when negative: a day, a week, a month as the calendar has it, or the
// range's own length.
PeriodSpan Stepped(const PeriodSpan& span, int steps);
// Whether the period holds `now`: it grows while the recorder writes.
bool HoldsNow(const PeriodSpan& span, common::TDateTime now);

// "сутки", "неделя", "месяц", "диапазон", in the order of the period box.
QString KindText(PeriodKind kind);
// The overlay's caption: "прошлые сутки", ...
QString EarlierText(PeriodKind kind);

} // namespace registrator::ui
