#include "service/recorder/HandlerGuard.h"

namespace registrator::service {

void HandlerGuard::Report(const QString& message) const noexcept {
    try {
        dialogs_.ShowGeneralError(message);
    } catch (...) {
        // Nothing is left to tell the operator with; the program goes on with the next event.
    }
}

} // namespace registrator::service
