#include "ui/monitor/MotorPicture.h"

#include <QLinearGradient>
#include <QPainter>

namespace registrator::ui {

MotorPicture::MotorPicture(QWidget* parent) : QWidget(parent) {}

void MotorPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 117 x 97 canvas and scaled to whatever size the window gives.
    painter.scale(width() / 117.0, height() / 97.0);
    const QPen outline(QColor(40, 40, 40), 1.2);
    painter.setPen(outline);

    // Feet and base.
    painter.setBrush(QColor(70, 80, 90));
    painter.drawRect(QRectF(14, 80, 80, 7));
    painter.drawRect(QRectF(22, 70, 10, 11));
    painter.drawRect(QRectF(76, 70, 10, 11));

    // Body with cooling fins.
    QLinearGradient body(0, 26, 0, 74);
    body.setColorAt(0, QColor(120, 170, 220));
    body.setColorAt(0.45, QColor(60, 110, 170));
    body.setColorAt(1, QColor(30, 60, 100));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(14, 26, 80, 48), 8, 8);
    painter.setPen(QPen(QColor(25, 50, 85), 1));
    for (int i = 0; i < 7; ++i)
        painter.drawLine(QPointF(22 + 10 * i, 30), QPointF(22 + 10 * i, 70));
    painter.setPen(outline);

    // End shield, shaft and key.
    painter.setBrush(QColor(90, 130, 175));
    painter.drawRoundedRect(QRectF(92, 32, 8, 36), 3, 3);
    painter.setBrush(QColor(185, 185, 185));
    painter.drawRect(QRectF(100, 45, 14, 10));
    painter.setBrush(QColor(120, 120, 120));
    painter.drawRect(QRectF(104, 45, 6, 3));

    // Terminal box with the motor sign.
    painter.setBrush(QColor(220, 225, 230));
    painter.drawRect(QRectF(40, 10, 28, 17));
    QFont sign = font();
    sign.setPixelSize(13);
    sign.setBold(true);
    painter.setFont(sign);
    painter.drawEllipse(QRectF(47, 11, 15, 15));
    painter.drawText(QRectF(47, 11, 15, 15), Qt::AlignCenter, QStringLiteral("M"));
}

} // namespace registrator::ui
