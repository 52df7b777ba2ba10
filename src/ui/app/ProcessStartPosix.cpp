#ifndef _WIN32

#include "ui/app/ProcessStart.h"

#include <csignal>

namespace registrator::ui {

void PrepareProcess() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace registrator::ui

#endif
