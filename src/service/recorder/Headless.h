#pragma once

#include "service/recorder/Station.h"

namespace registrator::service {

// The recorder without windows, in the running QCoreApplication: start-up, the event loop until it is
// asked to end (or at once when the port is not ready), shutdown. Returns the exit status.
int RunHeadless(Station& station);

} // namespace registrator::service
