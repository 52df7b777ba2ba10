#include "ui/period/PeriodSpan.h"

#include "history/PeriodQuery.h"

#include <QDate>
#include <cmath>

namespace registrator::ui {

namespace {

const QDate kDayZero(1899, 12, 30);

// In the order of PeriodKind.
struct KindTexts {
    const char* Kind;
    const char* Earlier;
};
constexpr KindTexts kTexts[] = {{"сутки", "прошлые сутки"},
                                {"неделя", "прошлая неделя"},
                                {"месяц", "прошлый месяц"},
                                {"диапазон", "прошлый диапазон"}};

QDate DateOf(common::TDateTime day) {
    return kDayZero.addDays(static_cast<qint64>(std::floor(day)));
}

common::TDateTime DayOf(const QDate& date) {
    return static_cast<common::TDateTime>(kDayZero.daysTo(date));
}

// A month later or earlier, the day of the month kept where the month has it, else its last day.
common::TDateTime MonthsOn(common::TDateTime day, int months) {
    return DayOf(DateOf(day).addMonths(months));
}

} // namespace

PeriodSpan PeriodEndingOn(PeriodKind kind, common::TDateTime day) {
    const common::TDateTime to = std::floor(day) + 1;
    switch (kind) {
    case PeriodKind::Week:
        return {kind, to - 7, to};
    case PeriodKind::Month:
        return {kind, MonthsOn(to, -1), to};
    default:
        return {PeriodKind::Day, to - 1, to};
    }
}

PeriodSpan Stepped(const PeriodSpan& span, int steps) {
    switch (span.Kind) {
    case PeriodKind::Day:
        return PeriodEndingOn(span.Kind, span.To - 1 + steps);
    case PeriodKind::Week:
        return PeriodEndingOn(span.Kind, span.To - 1 + 7 * steps);
    case PeriodKind::Month:
        return PeriodEndingOn(span.Kind, MonthsOn(span.To, steps) - 1);
    case PeriodKind::Range:
        break;
    }
    // In whole milliseconds, so that steps back and forth come back to the same range.
    const std::int64_t from = history::MsOf(span.From);
    const std::int64_t length = history::MsOf(span.To) - from;
    return {span.Kind, history::TimeOfMs(from + steps * length),
            history::TimeOfMs(from + (steps + 1) * length)};
}

bool HoldsNow(const PeriodSpan& span, common::TDateTime now) {
    return span.From <= now && now < span.To;
}

QString KindText(PeriodKind kind) {
    return QString::fromUtf8(kTexts[static_cast<std::size_t>(kind)].Kind);
}

QString EarlierText(PeriodKind kind) {
    return QString::fromUtf8(kTexts[static_cast<std::size_t>(kind)].Earlier);
}

} // namespace registrator::ui
