#pragma once

#include "channels/ChannelData.h"
#include "channels/SettingsFile.h"
#include "common/OperatorMessages.h"
#include "common/RegionalSettings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace registrator::tuning {

// The calibration window's entries as the operator typed them (UTF-8).
struct CalibrationEntries {
    std::string Name;   // Edit1
    std::string Koof_K; // Edit2
    std::string Koof_B; // Edit3
    std::string T_Nom;  // Edit4
    std::string T_Max;  // Edit5
    std::string Moshn;  // MaskEdit5
    std::string Oborot; // MaskEdit6
};

enum class CalibrationField { Koof_K, Koof_B, T_Nom, T_Max, Moshn, Oborot };

// The texts the calibration window shows for one channel's settings.
CalibrationEntries EntriesOf(const channels::TUstavka& settings, char decimalSeparator);

struct CalibrationOutcome {
    // The channel's section of the settings file holds the new values.
    bool Saved = false;
    // The entry whose text did not parse; the operator has been told.
    std::optional<CalibrationField> BadField;
};

// The whole number in a power or switch-off entry, blanks anywhere ignored.
std::optional<std::int32_t> ParseDigitEntry(const std::string& text);

// "Ошибочная запись числа: " and the entry's text as typed.
std::string BadNumberMessage(const std::string& text);

// Stores the entries into the channel one by one (k, b, nominal, critical, name, power, switch-off
// current), each valid value at once; the first entry that does not parse is reported and ends it,
// an empty nominal, critical, power or switch-off entry ends it silently. Only when all are stored is
// the channel written to the settings file, which throws SettingsWriteError when it cannot be.
CalibrationOutcome ApplyCalibration(const CalibrationEntries& entries, channels::UstavkiTable& ustavki,
                                    int channel, channels::SettingsFile& file,
                                    const common::RegionalSettings& regional,
                                    common::OperatorMessages& messages);

} // namespace registrator::tuning
