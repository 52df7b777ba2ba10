#pragma once

#include <QString>
#include <QVector>
#include <functional>
#include <optional>
#include <qcustomplot.h>

namespace registrator::ui {

// Time-of-day labels along a time axis, at whole clock steps, as many as the axis width holds.
// Keys are either point numbers, each point carrying its own time of day (the history ring), or
// the date-and-time values themselves (a day read back from the archive, or a period of days, whose
// midnights are labelled with their dates).
class TimeOfDayTicker : public QCPAxisTicker {
public:
    using TimeText = std::function<QString(double timeOfDay)>;

    explicit TimeOfDayTicker(TimeText timeText);

    // Point firstKey + i has the time of day times[i].
    void SetPointTimes(QVector<double> times, double firstKey);
    // Keys are date-and-time values (days since 30 December 1899). With `dateText`, a tick at midnight
    // reads as its date and the steps may be whole days.
    void SetKeysAreTimes(TimeText dateText = {});
    // No more labels than fit in `axisPixels` when each needs `labelPixels`.
    void FitToWidth(int axisPixels, int labelPixels);

    // The time of day a key stands for; none for a point key outside the points.
    std::optional<double> TimeOfKey(double key) const;
    QString TimeTextOf(double timeOfDay) const { return timeText_(timeOfDay); }
    // The widest label the axis may show.
    QString WidestLabel() const;
    bool KeysArePoints() const { return keysArePoints_; }

protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override;

private:
    double SecondsPerKey() const { return keysArePoints_ ? 1.0 : 86400.0; }

    TimeText timeText_;
    TimeText dateText_;
    bool keysArePoints_ = true;
    QVector<double> times_;
    double firstKey_ = 1;
};

} // namespace registrator::ui
