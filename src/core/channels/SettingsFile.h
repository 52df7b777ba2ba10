#pragma once

#include "channels/ChannelData.h"
#include "common/DateTime.h"
#include "common/RegionalSettings.h"

#include <array>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace registrator::channels {

// Raised when a key cannot be written; the text is "Unable to write to <path>".
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const std::string& path);
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// What the energy estimate takes of a motor's supply: its line voltage and power factor, under keys of
// our own beside the seven ("LineVoltage", "PowerFactor"), which the engineer sets from a meter reading.
struct MotorSupply {
    static constexpr double kDefaultLineVoltage = 380;
    static constexpr double kDefaultPowerFactor = 0.85;
    double LineVoltage = kDefaultLineVoltage; // volts, between phases
    double PowerFactor = kDefaultPowerFactor; // cos phi, above 0, at most 1
};

// The shift starts when the settings file says nothing: 08:00 and 20:00, as minutes of the day.
constexpr std::array<int, 2> kDefaultShiftStarts = {8 * 60, 20 * 60};

// How far a motor's health figure may drift beyond its own past before it is flagged, in percent, from a
// section of our own ("[Health]", "Margin=25").
struct HealthMargin {
    static constexpr int kDefaultPercent = 25;
    static constexpr int kLeastPercent = 5;
    static constexpr int kMostPercent = 200;
    int Percent = kDefaultPercent;
    // The key held something other than a whole number in range; Percent is then the default.
    std::optional<std::string> Refused;
    double Share() const { return Percent / 100.0; }
};

// Called after each channel of a load or save with the channel's number, 1..72.
using ProgressCallback = std::function<void(int channel)>;

// What a load found. Only a file read as text gives a channel anything but its defaults.
enum class SettingsLoad {
    Read,
    // No file, or none this process may open.
    Missing,
    // Bytes no text holds (a binary file, or an encoding not known here) and not one key of a channel.
    NotText,
};

// Program title from the executable's path: file name up to its first '.', first character kept,
// every further letter in lower case ("/opt/REGISTRATOR.EXE" -> "Registrator", "ЩИТ.exe" -> "Щит").
std::string ProgramTitle(const std::string& executablePath);
// The folder of the executable with its trailing separator.
std::string FolderOf(const std::string& executablePath);

// The per-channel INI file beside the executable: BaseFolder + title + ".INI". Every write replaces
// the file as a whole (temporary file, flush, rename), so a crash never leaves it cut short; a save
// of all channels replaces it once, after the last channel. A file that this process may not write
// is never replaced, and the new file keeps the old one's mode and, where allowed, its owner. In a
// folder where no temporary file may be made, a writable file is rewritten in place. A failed write
// leaves the old file as it was. The file is Windows-1251; one saved as UTF-8 or UTF-16 elsewhere is
// read as such and saved as Windows-1251. A file that holds no text is never written to: only once
// SetAside has moved it away does a write make a file of its own.
class SettingsFile {
public:
    SettingsFile(std::string path, common::RegionalSettings regional);

    const std::string& Path() const { return path_; }

    void WriteChannel(const UstavkiTable& ustavki, int channel);
    void ReadChannel(UstavkiTable& ustavki, int channel) const;
    // Progress reaches 72 only once the file has been replaced.
    void SaveAll(const UstavkiTable& ustavki, const ProgressCallback& progress = {});
    SettingsLoad LoadAll(UstavkiTable& ustavki, const ProgressCallback& progress = {}) const;
    // Moves a file that holds no text to "<file>.unreadable-<yyyy-MM-dd>" (then "-2", "-3"... beside an
    // earlier one, never over it), unchanged. The new path, or nothing when it could not be moved.
    std::optional<std::string> SetAside(common::TDateTime now);

    // Each motor's start window in seconds, from a key of our own beside the seven ("StartWindow",
    // which the engineer sets by hand and nothing here writes); `fallback` where it is missing, not a
    // number, or not above zero. The seven's load and save leave the key as it stands.
    std::array<double, kChannelCount + 1> ReadStartWindows(double fallback) const;

    // Each motor's supply from its keys of our own; the default for a key that is missing, not a
    // number, or out of range (a voltage above 0 and at most 100 kV, a power factor above 0 and at
    // most 1). The seven's load and save leave the keys as they stand; WriteSupply writes only them.
    std::array<MotorSupply, kChannelCount + 1> ReadSupplies() const;
    void WriteSupply(int channel, const MotorSupply& supply);

    // Where each shift begins, as minutes of the day in ascending order, from a section of our own
    // ("[Shifts]", "Starts=08:00,20:00"); the default two shifts when it is missing or cannot be read.
    std::vector<int> ReadShiftStarts() const;

    // The health margin; the default when the key is missing, and when it is refused (said in `Refused`).
    HealthMargin ReadHealthMargin() const;
    // Writes only that key; a percent out of range is written as the default.
    void WriteHealthMargin(int percent);

    // Runs after the new text is on disk beside the file and before it replaces the file; tests
    // stop the process there to show that the old file survives.
    void SetBeforeReplaceHook(std::function<void()> hook) { beforeReplace_ = std::move(hook); }

private:
    std::string path_;
    common::RegionalSettings regional_;
    std::function<void()> beforeReplace_;
};

// The operator's box at start-up for a settings file that holds no text: kept as `keptAs`, or left
// where it is when it could not be moved.
std::string NotTextMessage(const std::string& path, const std::optional<std::string>& keptAs);

} // namespace registrator::channels
