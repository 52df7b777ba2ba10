#pragma once

#include <optional>
#include <string>
#include <vector>

namespace registrator::tools {

// What one run of registrator-scan was asked to do.
struct ScanOptions {
    bool Simulate = false;
    std::string Device; // empty: the program's default device
    int Avg = 5;        // scans averaged per round, 1 to 255 as the program allows
    std::string SettingsPath;
    bool Watch = false;
    bool Csv = false;
    long Rounds = 0; // 0: one round, or until Ctrl+C with --watch
    bool Help = false;
};

// Arguments without the program name. On a bad command line, nothing and `error` says why.
std::optional<ScanOptions> ParseScanOptions(const std::vector<std::string>& args, std::string& error);

std::string ScanHelpText();

} // namespace registrator::tools
