#include "ui/channels/ProgressWindow.h"

#include "channels/ChannelData.h"
#include "ui/widgets/ScreenPlacement.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimerEvent>
#include <utility>
#include <vector>

namespace registrator::ui {

namespace {

// Holds back the timer events that come while it stands and posts them again after, so no tick runs
// inside a load or a save: Windows' event loop has no way to leave timers out of a pass of its own.
class TimerGate final : public QObject {
public:
    TimerGate() { QCoreApplication::instance()->installEventFilter(this); }
    ~TimerGate() override {
        QCoreApplication::instance()->removeEventFilter(this);
        for (const auto& [target, id] : held_)
            if (target)
                QCoreApplication::postEvent(target, new QTimerEvent(id));
    }

protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() != QEvent::Timer)
            return false;
        const int id = static_cast<QTimerEvent*>(event)->timerId();
        for (const auto& [held, heldId] : held_)
            if (held == target && heldId == id)
                return true;
        held_.emplace_back(target, id);
        return true;
    }

private:
    std::vector<std::pair<QPointer<QObject>, int>> held_;
};

} // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      gauge_(new PieGauge(this)) {
    setObjectName(QStringLiteral("TF_ZAGk"));
    setWindowTitle(QStringLiteral(" "));
    setFixedSize(148, 129);
    MoveToDesignPosition(*this, QPoint(620, 117));
    gauge_->setObjectName(QStringLiteral("Gauge1"));
    gauge_->setGeometry(24, 16, 100, 100);
    gauge_->SetRange(0, channels::kChannelCount);
    gauge_->SetProgress(0);
}

void ProgressWindow::Begin(const QString& caption) {
    gauge_->SetProgress(0);
    setWindowTitle(caption);
    show();
    raise();
    PaintNow();
}

void ProgressWindow::ShowChannelDone(int channel) {
    gauge_->SetProgress(channel);
    PaintNow();
}

void ProgressWindow::PaintNow() {
    // Window-system events only (expose, paint): no timer tick, input or socket may run inside a
    // load or save.
    const TimerGate gate;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
    if (isVisible())
        gauge_->repaint();
}

} // namespace registrator::ui
