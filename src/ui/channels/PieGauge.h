#pragma once

#include <QWidget>

namespace registrator::ui {

// A pie-shaped progress gauge, black on white, with the percentage done in its centre.
class PieGauge : public QWidget {
    Q_OBJECT
public:
    explicit PieGauge(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    void SetProgress(int progress);
    int Progress() const { return progress_; }
    int Maximum() const { return maximum_; }
    int PercentDone() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int minimum_ = 0;
    int maximum_ = 100;
    int progress_ = 0;
};

} // namespace registrator::ui
