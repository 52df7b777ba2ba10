#include "ui/channels/PieGauge.h"

#include <QPainter>

namespace registrator::ui {

PieGauge::PieGauge(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PieGauge::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = qMax(minimum, maximum);
    progress_ = qBound(minimum_, progress_, maximum_);
    update();
}

void PieGauge::SetProgress(int progress) {
    progress_ = qBound(minimum_, progress, maximum_);
    update();
}

int PieGauge::PercentDone() const {
    const int span = maximum_ - minimum_;
    return span == 0 ? 100 : (progress_ - minimum_) * 100 / span;
}

void PieGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF pie = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(pie);
    const int span = maximum_ - minimum_;
    if (span > 0 && progress_ > minimum_) {
        painter.setBrush(Qt::black);
        // Clockwise from twelve o'clock; Qt counts sixteenths of a degree, counter-clockwise.
        const int angle = -static_cast<int>(360LL * 16 * (progress_ - minimum_) / span);
        if (angle <= -360 * 16)
            painter.drawEllipse(pie);
        else
            painter.drawPie(pie, 90 * 16, angle);
    }
    const QString percent = QString::number(PercentDone()) + QLatin1Char('%');
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const QRectF textBox = painter.boundingRect(rect(), Qt::AlignCenter, percent).adjusted(-2, 0, 2, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(textBox);
    painter.setPen(Qt::black);
    painter.drawText(rect(), Qt::AlignCenter, percent);
}

} // namespace registrator::ui
