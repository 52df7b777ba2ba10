#pragma once

#include "ui/widgets/TrendChart.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <vector>

namespace registrator::ui {

// Motors over a period of days on the trend chart: each its mean current as a line over a band from its
// lowest to its highest, the same span one period earlier as paler lines, and the nominal and critical
// currents of one of them as flat lines. Keys are dates and times; a NaN value breaks a line and a band,
// so that a stretch without records is never bridged.
class PeriodTrendChart : public TrendChart {
public:
    struct Band {
        QVector<double> Keys;
        QVector<double> Min;
        QVector<double> Mean;
        QVector<double> Max;
    };

    explicit PeriodTrendChart(const common::RegionalSettings& regional, QWidget* parent = nullptr);

    // The colour motor `k` (from 0) is drawn in, as the list of picked motors shows it.
    static QColor MotorColour(int k);

    // Series for `count` motors, each without data; `names` for the readout.
    void SetMotors(const QStringList& names);
    int MotorCount() const { return static_cast<int>(names_.size()); }
    void SetMotor(int k, const Band& band);
    // The earlier span's means, keys already moved onto this period.
    void SetEarlier(int k, const QVector<double>& keys, const QVector<double>& means);
    void ShowEarlier(bool shown);
    // Motor `k`'s thresholds as lines over `from`..`to`, after its data; the readout follows that motor.
    void SetLines(int k, double nominal, double critical, double from, double to);

    // Series numbers, for reading what is drawn.
    int MeanSeries(int k) const { return k; }
    int LowSeries(int k) const { return MotorCount() + 2 + 2 * k; }
    int EarlierSeries(int k) const { return 3 * MotorCount() + 2 + k; }
    int NominalSeries() const { return MotorCount(); }
    int CriticalSeries() const { return MotorCount() + 1; }

private:
    QString ReadoutOf(double key, double mean) const;

    common::RegionalSettings regional_;
    QStringList names_;
    int linesMotor_ = 0;
};

} // namespace registrator::ui
