#include "ui/health/DailyChart.h"

#include <cmath>

namespace registrator::ui {

namespace {

// QCustomPlot's date ticker counts seconds from 1970; the archive's day numbers count from 1899.
double KeyOf(common::TDateTime day) {
    return (day - 25569) * 86400;
}

} // namespace

DailyChart::DailyChart(QWidget* parent) : QCustomPlot(parent) {
    plotLayout()->insertRow(0);
    title_ = new QCPTextElement(this, QString(), QFont(font().family(), 9, QFont::Bold));
    plotLayout()->addElement(0, 0, title_);
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("dd.MM"));
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setTickCount(3);
    xAxis->setTicker(ticker);
    QFont small = font();
    small.setPointSize(8);
    xAxis->setTickLabelFont(small);
    yAxis->setTickLabelFont(small);
    addGraph();
    graph(0)->setPen(QPen(QColor(0, 70, 160), 1.5));
    graph(0)->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 3));
    addGraph();
    graph(1)->setPen(QPen(QColor(200, 60, 0), 1.5, Qt::DashLine));
    setMinimumSize(220, 150);
}

void DailyChart::SetTitle(const QString& text) {
    title_->setText(text);
}

QString DailyChart::Title() const {
    return title_->text();
}

void DailyChart::Show(const std::vector<common::TDateTime>& days,
                      const std::vector<std::optional<double>>& values, std::optional<double> line) {
    QVector<double> keys;
    QVector<double> points;
    double low = line.value_or(INFINITY);
    double high = line.value_or(-INFINITY);
    for (std::size_t i = 0; i < days.size() && i < values.size(); ++i) {
        keys << KeyOf(days[i]);
        // NaN: QCustomPlot leaves a gap rather than joining the days either side.
        points << values[i].value_or(NAN);
        if (values[i]) {
            low = std::min(low, *values[i]);
            high = std::max(high, *values[i]);
        }
    }
    graph(0)->setData(keys, points, true);
    if (line && !days.empty())
        graph(1)->setData({KeyOf(days.front()), KeyOf(days.back())}, {*line, *line}, true);
    else
        graph(1)->data()->clear();
    if (!days.empty())
        xAxis->setRange(KeyOf(days.front()) - 43200, KeyOf(days.back()) + 43200);
    if (std::isfinite(low)) {
        // From zero where the figures are all above it, so a creep is seen against the whole.
        const double bottom = std::min(0.0, low);
        yAxis->setRange(bottom, high > bottom ? high * 1.1 : bottom + 1);
    } else {
        yAxis->setRange(0, 1);
    }
    replot();
}

int DailyChart::PointCount() const {
    int count = 0;
    for (auto it = graph(0)->data()->constBegin(); it != graph(0)->data()->constEnd(); ++it)
        count += std::isnan(it->value) ? 0 : 1;
    return count;
}

std::optional<double> DailyChart::LineValue() const {
    if (graph(1)->data()->isEmpty())
        return std::nullopt;
    return graph(1)->data()->constBegin()->value;
}

} // namespace registrator::ui
