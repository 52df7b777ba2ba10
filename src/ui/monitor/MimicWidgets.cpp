#include "ui/monitor/MimicWidgets.h"

#include <QMouseEvent>

namespace registrator::ui {

void InertLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
void InertLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}

MotorPanel::MotorPanel(int tag, QWidget* parent) : QFrame(parent), tag_(tag) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
}

void MotorPanel::SetColour(const QColor& colour) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
}

QColor MotorPanel::Colour() const {
    return palette().color(QPalette::Window);
}

void MotorPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked(tag_);
    event->accept();
}

SectionFrame::SectionFrame(int tag, const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent), tag_(tag) {}

void SectionFrame::mouseReleaseEvent(QMouseEvent* event) {
    QGroupBox::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked(tag_);
}

} // namespace registrator::ui
