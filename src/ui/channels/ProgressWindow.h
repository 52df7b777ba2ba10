#pragma once

#include "ui/channels/PieGauge.h"

#include <QWidget>

namespace registrator::ui {

// TF_ZAGk: shown while the 72 channel settings are loaded or saved. It paints each step at once,
// without letting timers or input run in between.
class ProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Shows the window with the activity's caption and the gauge at 0.
    void Begin(const QString& caption);
    // The gauge stands at `channel` of 72, painted before this returns.
    void ShowChannelDone(int channel);

    PieGauge* Gauge1() const { return gauge_; }

private:
    void PaintNow();
    PieGauge* gauge_;
};

} // namespace registrator::ui
