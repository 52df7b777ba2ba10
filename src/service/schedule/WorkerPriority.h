#pragma once

namespace registrator::schedule {

// Lowers the calling thread's priority below the recorder's, so that background work never delays a tick.
void LowerThisThreadPriority();

} // namespace registrator::schedule
