#pragma once

#include "common/OperatorMessages.h"
#include "service/recorder/OperatorBoxes.h"

#include <QObject>
#include <functional>

namespace registrator::service {

// The boxes one timer's handler raises. Qt never fires a timer again while its own handler has not
// returned, so a box opened inside the handler would stop that timer for as long as the operator
// leaves it open. Here the box waits until the handler has returned and then opens from the event
// loop, where the timer goes on ticking under it. One box per timer at a time: a fault that repeats
// every tick must not stack a box per tick.
class DeferredBoxes final : public QObject, public common::OperatorMessages, public DialogPresenter {
public:
    explicit DeferredBoxes(DialogPresenter& target, QObject* parent = nullptr);

    void Show(const std::string& text) override;
    void ShowGeneralError(const QString& message) override;
    void ShowPortError(std::uint32_t errorCode) override;
    void ShowOperatorMessage(const QString& text) override;

    // A box is waiting to open or is open now.
    bool Busy() const { return busy_; }

private:
    void Defer(std::function<void(DialogPresenter&)> show);

    DialogPresenter& target_;
    bool busy_ = false;
};

} // namespace registrator::service
