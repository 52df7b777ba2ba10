#pragma once

#include "ui/widgets/TrendChart.h"

#include <QVector>

namespace registrator::ui {

// One motor's current with its nominal and critical currents as flat lines: series 0, 1 and 2 of the
// trend chart. Point n (from 1) is the n-th reading at its time of day. The buffers are kept between
// refreshes, so a refresh of the same length allocates nothing.
class MotorTrendChart : public TrendChart {
public:
    // Live: the history ring (the section and motor graph windows). Archive: a day of the archive viewer.
    enum class Look { Live, Archive };

    MotorTrendChart(const common::RegionalSettings& regional, Look look, QWidget* parent = nullptr);

    // `count` readings; `readingAt(i)` gives reading i (from 0) as a pair of current and time of day.
    template <typename ReadingAt>
    void ShowMotor(qsizetype count, double nominal, double critical, ReadingAt readingAt) {
        Resize(count);
        for (qsizetype i = 0; i < count; ++i) {
            const auto [value, time] = readingAt(i);
            values_[i] = value;
            times_[i] = time;
        }
        Plot(nominal, critical);
    }

private:
    void Resize(qsizetype count);
    void Plot(double nominal, double critical);

    QVector<double> keys_;
    QVector<double> values_;
    QVector<double> times_;
    QVector<double> nominal_;
    QVector<double> critical_;
};

} // namespace registrator::ui
