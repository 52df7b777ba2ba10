#include "ui/channels/ProgressWindow.h"

#include "channels/ChannelData.h"
#include "ui/widgets/ScreenPlacement.h"

#include <QCoreApplication>

namespace registrator::ui {

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
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
    if (isVisible())
        gauge_->repaint();
}

} // namespace registrator::ui
