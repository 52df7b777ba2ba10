#include "service/recorder/DeferredBoxes.h"

#include <QMetaObject>

namespace registrator::service {

DeferredBoxes::DeferredBoxes(DialogPresenter& target, QObject* parent) : QObject(parent), target_(target) {}

void DeferredBoxes::Show(const std::string& text) {
    ShowOperatorMessage(QString::fromStdString(text));
}

void DeferredBoxes::ShowGeneralError(const QString& message) {
    Defer([message](DialogPresenter& target) { target.ShowGeneralError(message); });
}

void DeferredBoxes::ShowPortError(std::uint32_t errorCode) {
    Defer([errorCode](DialogPresenter& target) { target.ShowPortError(errorCode); });
}

void DeferredBoxes::ShowOperatorMessage(const QString& text) {
    Defer([text](DialogPresenter& target) { target.ShowOperatorMessage(text); });
}

void DeferredBoxes::Defer(std::function<void(DialogPresenter&)> show) {
    if (busy_)
        return;
    busy_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, show = std::move(show)] {
            // Cleared however the box ends, so the next fault of this timer is shown again.
            struct Release {
                bool& busy;
                ~Release() { busy = false; }
            } release{busy_};
            show(target_);
        },
        Qt::QueuedConnection);
}

} // namespace registrator::service
