#include "ui/widgets/MotorTrendChart.h"

#include "ui/widgets/DesignLook.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace registrator::ui {

MotorTrendChart::MotorTrendChart(const common::RegionalSettings& regional, Look look, QWidget* parent)
    : TrendChart(regional, parent) {
    SetValueUnit(QStringLiteral(" А"));
    if (look == Look::Live) {
        SetAxisFont(PixelFont(12, false));
        SetBackground(Qt::white);
        SetTitleStyle(PixelFont(15, true), Qt::blue);
        AddSeries({QColor(0, 128, 0), 1, Qt::SolidLine});
        AddSeries({Qt::yellow, 2, Qt::SolidLine});
        AddSeries({Qt::red, 2, Qt::SolidLine});
        return;
    }
    // The gradient drawn once; a replot only stretches the picture.
    QPixmap background(1, 256);
    {
        QPainter painter(&background);
        QLinearGradient gradient(0, 0, 0, 256);
        gradient.setColorAt(0, QColor(192, 192, 192));
        gradient.setColorAt(1, QColor(128, 128, 128));
        painter.fillRect(background.rect(), gradient);
    }
    setBackground(background, true, Qt::IgnoreAspectRatio);
    // A day's 2 px line stroked with exact joins took five times the read of the day.
    setPlottingHint(QCP::phFastPolylines, true);
    SetTitleStyle(PixelFont(19, true, true), QColor(0, 255, 255));
    SetTitle(QStringLiteral("График"));
    AddSeries({Qt::green, 2, Qt::SolidLine});
    AddSeries({Qt::yellow, 1, Qt::DotLine});
    AddSeries({Qt::red, 1, Qt::DotLine});
}

void MotorTrendChart::Resize(qsizetype count) {
    for (qsizetype i = keys_.size(); i < count; ++i)
        keys_.append(static_cast<double>(i + 1));
    keys_.resize(count);
    values_.resize(count);
    times_.resize(count);
    nominal_.resize(count);
    critical_.resize(count);
}

void MotorTrendChart::Plot(double nominal, double critical) {
    std::fill(nominal_.begin(), nominal_.end(), nominal);
    std::fill(critical_.begin(), critical_.end(), critical);
    SetSeriesData(0, keys_, values_);
    SetSeriesData(1, keys_, nominal_);
    SetSeriesData(2, keys_, critical_);
    SetPointTimes(times_, 1);
    ResetView();
    replot(QCustomPlot::rpQueuedReplot);
}

} // namespace registrator::ui
