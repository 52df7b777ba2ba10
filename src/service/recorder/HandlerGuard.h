#pragma once

#include "service/recorder/OperatorBoxes.h"

#include <QString>
#include <exception>
#include <utility>

namespace registrator::service {

// Runs one event handler; a failure ends the handler and goes to the general error box, so no
// exception ever crosses the Qt event loop. Returns false when the handler failed.
class HandlerGuard {
public:
    explicit HandlerGuard(DialogPresenter& dialogs) : dialogs_(dialogs) {}

    template <class Handler> bool operator()(Handler&& handler) const {
        try {
            std::forward<Handler>(handler)();
            return true;
        } catch (const std::exception& e) {
            Report(QString::fromUtf8(e.what()));
        } catch (...) {
            Report(QStringLiteral("Unknown error"));
        }
        return false;
    }

private:
    void Report(const QString& message) const noexcept;
    DialogPresenter& dialogs_;
};

} // namespace registrator::service
