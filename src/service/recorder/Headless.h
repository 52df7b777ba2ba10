#pragma once

#include "service/recorder/Station.h"

#include <functional>

namespace registrator::service {

// The recorder without windows, in the running QCoreApplication: start-up, the event loop until it is
// asked to end (or at once when the port is not ready), shutdown. `progress` hears the settings read and
// saved; `recording` is called once the start-up is over and the loop is about to run. Returns the exit
// status.
int RunHeadless(Station& station, SettingsProgress& progress, const std::function<void()>& recording = {});

} // namespace registrator::service
