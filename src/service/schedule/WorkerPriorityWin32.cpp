#include "service/schedule/WorkerPriority.h"

#include <windows.h>

namespace registrator::schedule {

void LowerThisThreadPriority() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

} // namespace registrator::schedule
