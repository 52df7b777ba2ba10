#pragma once

#include <QWidget>

namespace registrator::ui {

// The decorative motor of the section and motor graph windows: a finned electric motor on its feet,
// drawn rather than loaded so it scales with the window's type.
class MotorPicture : public QWidget {
    Q_OBJECT
public:
    explicit MotorPicture(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace registrator::ui
