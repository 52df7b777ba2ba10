#include "service/schedule/WorkerPriority.h"

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace registrator::schedule {

void LowerThisThreadPriority() {
    // On Linux a thread's nice value is its own (Qt's thread priorities do nothing there but idle, which
    // may starve the work outright on a busy machine).
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, nice + 10);
}

} // namespace registrator::schedule
