#pragma once

#include "archive/RecordFiles.h"
#include "monitor/DaySummary.h"

#include <optional>
#include <ostream>
#include <string>

namespace registrator::tools {

bool IsRegularFile(const std::string& path);

// "Data/06.12.2026.txt" and "UST.txt" -> "Data/06.12.2026UST.txt": a file of the day beside its readings.
std::string DayFileBeside(const std::string& readings, const std::string& suffix);

// Where a day's motors came from.
struct DaySources {
    monitor::DayMotors Day;
    std::string SettingsPath; // empty: the program's defaults
    std::string SnapshotPath;
    archive::RecordFileRead SnapshotRead;
};

// The present settings: `settings`, else the program's settings file in `toolFolder`, else the
// program's defaults (`path` then stays empty). Returns an exit status when the file named cannot be used.
std::optional<int> LoadPresentSettings(const std::string& settings, const std::string& toolFolder,
                                       std::ostream& err, channels::UstavkiTable& present,
                                       monitor::ThresholdSource& source, std::string& path);

// One rule for every motor, as the program's viewer and web view apply it: the day's own snapshot where
// it has the motor (`snapshot`, or the day's snapshot file beside `readings`), else the present settings
// (`settings`, or the program's settings file in `toolFolder`); the switch-off current always from the
// present settings. Returns an exit status when a file named on the command line cannot be used.
std::optional<int> LoadDayMotors(const std::string& readings, const std::string& snapshot,
                                 const std::string& settings, const std::string& toolFolder,
                                 std::ostream& err, DaySources& sources);

} // namespace registrator::tools
