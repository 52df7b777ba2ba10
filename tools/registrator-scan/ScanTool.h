#pragma once

#include "acquisition/PortFactory.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace registrator::tools {

constexpr int kScanExitOk = 0;
constexpr int kScanExitNoPort = 1;
constexpr int kScanExitBadUsage = 2;
constexpr int kScanExitBadSettings = 3;

// What the tool needs from the outside world; main() gives the real port, clock and Ctrl+C, the
// tests a simulated plant on a settable clock or a port that cannot be opened.
struct ScanEnvironment {
    explicit ScanEnvironment(const common::Clock& clock) : Clock(clock) {}

    std::function<std::unique_ptr<acquisition::PortAccess>(
        const acquisition::PortOptions&, const channels::UstavkiTable&, const common::Clock&)>
        MakePort = acquisition::MakePort;
    const common::Clock& Clock;
    std::string ProgramFolder;
    std::function<bool()> StopRequested = [] { return false; };
    // Returns when the next round is due, about a second after the last one began, or earlier on Ctrl+C.
    std::function<void()> WaitForNextRound = [] {};
    // Whether --watch may redraw in place (a terminal); otherwise each round is printed below the last.
    bool Terminal = true;
};

// Runs registrator-scan on its arguments (without the program name).
int RunScanTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                ScanEnvironment& env);

} // namespace registrator::tools
