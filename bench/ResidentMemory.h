#pragma once

// The process's resident memory, for the benchmarks that say what a window holds.
#include <fstream>
#include <string>

namespace registrator::bench {

// Megabytes, as /proc/self/status gives them; 0 where there is no such file.
inline double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

} // namespace registrator::bench
