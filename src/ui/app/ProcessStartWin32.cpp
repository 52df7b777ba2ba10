#ifdef _WIN32

#include "ui/app/ProcessStart.h"

#include <cstdio>
#include <windows.h>

namespace registrator::ui {

void PrepareProcess() {
    // A window program has no console of its own; standard output and error that were not redirected
    // go to the console it was started from, if any.
    if (GetStdHandle(STD_ERROR_HANDLE) == nullptr && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}

} // namespace registrator::ui

#endif
