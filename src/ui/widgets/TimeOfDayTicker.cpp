#include "ui/widgets/TimeOfDayTicker.h"

#include <algorithm>
#include <cmath>

namespace registrator::ui {

namespace {

// Steps a reader of clock times finds natural; a point key counts as one second, the slow tick.
constexpr double kNiceSeconds[] = {1,   2,    5,    10,   15,   20,    30,    60,    120,   300,  600,
                                   900, 1200, 1800, 3600, 7200, 10800, 14400, 21600, 43200, 86400};

double NiceStep(double seconds) {
    for (const double nice : kNiceSeconds)
        if (nice >= seconds)
            return nice;
    return std::ceil(seconds / 86400.0) * 86400.0;
}

} // namespace

TimeOfDayTicker::TimeOfDayTicker(TimeText timeText) : timeText_(std::move(timeText)) {
    setTickOrigin(0);
}

void TimeOfDayTicker::SetPointTimes(QVector<double> times, double firstKey) {
    keysArePoints_ = true;
    times_ = std::move(times);
    firstKey_ = firstKey;
}

void TimeOfDayTicker::SetKeysAreTimes(TimeText dateText) {
    keysArePoints_ = false;
    times_.clear();
    dateText_ = std::move(dateText);
}

QString TimeOfDayTicker::WidestLabel() const {
    // The last second of a day, and a date with two-digit day and month.
    const QString time = timeText_(86399.0 / 86400.0);
    const QString date = dateText_ ? dateText_(47094) : QString();
    return date.size() > time.size() ? date : time;
}

void TimeOfDayTicker::FitToWidth(int axisPixels, int labelPixels) {
    setTickCount(std::max(1, axisPixels / std::max(1, labelPixels)));
}

std::optional<double> TimeOfDayTicker::TimeOfKey(double key) const {
    if (!keysArePoints_)
        return key;
    const double index = std::round(key - firstKey_);
    if (index < 0 || index >= times_.size())
        return std::nullopt;
    return times_[static_cast<qsizetype>(index)];
}

double TimeOfDayTicker::getTickStep(const QCPRange& range) {
    const double span = range.size() * SecondsPerKey();
    double step = NiceStep(span / std::max(1, tickCount()));
    // A step longer than the range may leave no tick in view at all; one label is better than none.
    if (step > span) {
        double shorter = 0;
        for (const double nice : kNiceSeconds)
            if (nice <= span)
                shorter = nice;
        step = shorter > 0 ? shorter : span;
    }
    return step / SecondsPerKey();
}

int TimeOfDayTicker::getSubTickCount(double tickStep) {
    const auto seconds = static_cast<long long>(std::llround(tickStep * SecondsPerKey()));
    return seconds % 5 == 0 && seconds >= 5 ? 4 : (seconds % 2 == 0 ? 1 : 0);
}

QString TimeOfDayTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    // A tick within a millisecond of midnight.
    if (dateText_ && std::abs(tick - std::round(tick)) * 86400000.0 < 0.5)
        return dateText_(std::round(tick));
    const std::optional<double> time = TimeOfKey(tick);
    return time ? timeText_(*time) : QString();
}

} // namespace registrator::ui
