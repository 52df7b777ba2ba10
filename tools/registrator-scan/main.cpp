#include "ScanTool.h"
#include "channels/SettingsFile.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#ifdef _WIN32
#include <io.h>
#define REGISTRATOR_ISATTY _isatty
#else
#include <unistd.h>
#define REGISTRATOR_ISATTY isatty
#endif

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) {
    stopRequested = 1;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    const std::vector<std::string> args(argv + 1, argv + argc);

    using Steady = std::chrono::steady_clock;
    auto nextRound = Steady::now() + std::chrono::seconds(1);
    registrator::common::SystemClock clock;
    registrator::tools::ScanEnvironment env(clock);
    env.ProgramFolder = registrator::channels::FolderOf(argc > 0 ? argv[0] : "");
    env.StopRequested = [] { return stopRequested != 0; };
    env.WaitForNextRound = [&] {
        // Short naps, so that Ctrl+C ends the wait at once.
        while (stopRequested == 0 && Steady::now() < nextRound)
            std::this_thread::sleep_for(
                std::min<Steady::duration>(nextRound - Steady::now(), std::chrono::milliseconds(50)));
        nextRound += std::chrono::seconds(1);
        if (nextRound < Steady::now())
            nextRound = Steady::now() + std::chrono::seconds(1);
    };
    env.Terminal = REGISTRATOR_ISATTY(1) != 0;

    const int status = registrator::tools::RunScanTool(args, std::cout, std::cerr, env);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "registrator-scan: cannot write to standard output\n";
        return 1;
    }
    return status;
}
