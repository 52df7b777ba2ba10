#include "ui/widgets/ScreenPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace registrator::ui {

namespace {

int PlacedAlong(int designed, int length, int first, int room) {
    return std::max(first, std::min(designed, first + room - length));
}

// Lives as the window's child, so it goes with the window.
class DesignPlacement final : public QObject {
public:
    explicit DesignPlacement(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
        // Before the window exists: a window manager does not always honour a position given while the
        // window is being shown. Its frame is not known yet; it is allowed for once it is.
        Place();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            // On later showings, where the operator left it, as long as that is on the screen.
            frameKnown_ = HasFrame();
            if (frameKnown_)
                Place();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // An X11 window manager reports the frame only once the window is up.
            if (!frameKnown_ && window_.isVisible() && HasFrame()) {
                frameKnown_ = true;
                Place();
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool HasFrame() const { return window_.frameGeometry().size() != window_.size(); }

    void Place() {
        const QPoint wanted = window_.pos();
        QScreen* screen = QGuiApplication::screenAt(wanted);
        if (!screen)
            screen = window_.screen();
        if (!screen)
            return;
        const QPoint placed =
            PlacedWithin(wanted, window_.frameGeometry().size(), screen->availableGeometry());
        if (placed != wanted)
            window_.move(placed);
    }

    QWidget& window_;
    bool frameKnown_ = false;
};

} // namespace

QPoint PlacedWithin(QPoint designed, QSize frame, const QRect& available) {
    return {PlacedAlong(designed.x(), frame.width(), available.x(), available.width()),
            PlacedAlong(designed.y(), frame.height(), available.y(), available.height())};
}

void MoveToDesignPosition(QWidget& window, QPoint designed) {
    window.move(designed);
    new DesignPlacement(window);
}

} // namespace registrator::ui
