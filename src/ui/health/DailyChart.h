#pragma once

#include "common/DateTime.h"

#include <QString>
#include <optional>
#include <qcustomplot.h>
#include <vector>

namespace registrator::ui {

// A small chart of one figure a day: the days as dates along the bottom, a point for each day that has
// a value (none bridged over a day without), and a dashed flat line for the value it is held against.
class DailyChart : public QCustomPlot {
    Q_OBJECT
public:
    explicit DailyChart(QWidget* parent = nullptr);

    void SetTitle(const QString& text);
    QString Title() const;
    void Show(const std::vector<common::TDateTime>& days, const std::vector<std::optional<double>>& values,
              std::optional<double> line);
    // Points drawn, and the line's value; for tests.
    int PointCount() const;
    std::optional<double> LineValue() const;

private:
    QCPTextElement* title_;
};

} // namespace registrator::ui
