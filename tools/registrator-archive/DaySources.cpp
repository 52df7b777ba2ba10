#include "DaySources.h"

#include "FileTrouble.h"
#include "channels/SettingsFile.h"
#include "common/AtomicFile.h"

#include <filesystem>
#include <span>
#include <vector>

namespace registrator::tools {

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(common::PathFromUtf8(path), error);
}

std::string DayFileBeside(const std::string& readings, const std::string& suffix) {
    constexpr std::string_view kSuffix = ".txt";
    if (readings.size() <= kSuffix.size() || readings.compare(readings.size() - 4, 4, kSuffix) != 0)
        return {};
    return readings.substr(0, readings.size() - 4) + suffix;
}

std::optional<int> LoadPresentSettings(const std::string& settings, const std::string& toolFolder,
                                       std::ostream& err, channels::UstavkiTable& present,
                                       monitor::ThresholdSource& source, std::string& path) {
    for (int n = 1; n <= channels::kChannelCount; ++n)
        present[n] = channels::DefaultUstavka(n);
    path = settings;
    if (path.empty() && !toolFolder.empty() && IsRegularFile(toolFolder + "Registrator.INI"))
        path = toolFolder + "Registrator.INI";
    source = monitor::ThresholdSource::ProgramDefaults;
    if (path.empty())
        return std::nullopt;
    // A missing or unreadable file would load as the defaults without a word.
    const channels::SettingsLoad found =
        channels::SettingsFile(path, common::RegionalSettings::Russian()).LoadAll(present);
    const FileTrouble trouble(err, path);
    if (found == channels::SettingsLoad::Missing)
        return trouble.Report("cannot open the settings file");
    if (found == channels::SettingsLoad::NotText)
        return trouble.Report("the settings file holds no text");
    source = monitor::ThresholdSource::PresentSettings;
    return std::nullopt;
}

std::optional<int> LoadDayMotors(const std::string& readings, const std::string& snapshot,
                                 const std::string& settings, const std::string& toolFolder,
                                 std::ostream& err, DaySources& sources) {
    channels::UstavkiTable present;
    monitor::ThresholdSource presentSource;
    if (const auto status =
            LoadPresentSettings(settings, toolFolder, err, present, presentSource, sources.SettingsPath))
        return status;

    sources.SnapshotPath = snapshot.empty() ? DayFileBeside(readings, "UST.txt") : snapshot;
    std::vector<archive::TUstRec> records(archive::kUstRecCount);
    if (!sources.SnapshotPath.empty() && (!snapshot.empty() || IsRegularFile(sources.SnapshotPath))) {
        sources.SnapshotRead = archive::ReadSnapshotFile(sources.SnapshotPath, records);
        if (!snapshot.empty() && sources.SnapshotRead.Records == 0)
            return FileTrouble(err, sources.SnapshotPath)
                .NoRecord(sources.SnapshotRead, "settings", sizeof(archive::TUstRec));
    }
    sources.Day =
        monitor::MotorsOfDay(std::span(records.data(), sources.SnapshotRead.Records), present, presentSource);
    return std::nullopt;
}

} // namespace registrator::tools
