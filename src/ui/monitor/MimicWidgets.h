#pragma once

#include <QFrame>
#include <QGroupBox>
#include <QLabel>

namespace registrator::ui {

// A static text that takes clicks and does nothing with them, so a click on a panel's caption or
// on a current label never reaches the panel or the frame below it.
class InertLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// One motor's panel: its background colour tells the motor's state; a click selects the channel.
class MotorPanel : public QFrame {
    Q_OBJECT
public:
    MotorPanel(int tag, QWidget* parent);
    int Tag() const { return tag_; }
    void SetColour(const QColor& colour);
    QColor Colour() const;

signals:
    void clicked(int tag);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int tag_;
};

// One section's frame; a click on its own area (outside panels and strip) opens that section.
class SectionFrame : public QGroupBox {
    Q_OBJECT
public:
    SectionFrame(int tag, const QString& caption, QWidget* parent);
    int Tag() const { return tag_; }

signals:
    void clicked(int tag);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int tag_;
};

} // namespace registrator::ui
