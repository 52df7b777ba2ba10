#pragma once

#include "common/RegionalSettings.h"
#include "monitor/DaySummary.h"

#include <QGroupBox>

class QLabel;
class QListWidget;

namespace registrator::ui {

// "0:15:32": hours, minutes and seconds of a duration; a dash for one that could not be computed.
QString DurationText(double seconds);

// The shown motor's day in figures: time in each panel state, starts, the peak, and the episodes above
// the critical current, each of which the operator can pick to see it on the chart.
class DaySummaryPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit DaySummaryPanel(const common::RegionalSettings& regional, QWidget* parent = nullptr);

    // `thresholds` says where the thresholds the day was judged by came from.
    void Show(const monitor::MotorDaySummary& summary, const QString& thresholds = {});
    void Clear();

    const monitor::MotorDaySummary& Summary() const { return summary_; }
    // The lines as shown, the episodes' list last; for tests and the screenshot check.
    QStringList Lines() const;
    QListWidget* Episodes() const { return episodes_; }

signals:
    void episodeChosen(int index);

private:
    QString Time(double time) const;

    common::RegionalSettings regional_;
    monitor::MotorDaySummary summary_;
    QLabel* states_ = nullptr;
    QLabel* figures_ = nullptr;
    QListWidget* episodes_ = nullptr;
};

} // namespace registrator::ui
