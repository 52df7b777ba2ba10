#pragma once

#include "common/DateTime.h"

#include <array>
#include <optional>
#include <string>

namespace registrator::tools {

constexpr int kScanChannels = 72;

// The result of one round: the averaged raw count of every channel and, when the settings were
// given, the amperes the program would show for it. Index i belongs to channel i + 1.
struct ScanRound {
    common::TDateTime Time = 0;
    std::array<int, kScanChannels> Counts{};
    std::optional<std::array<double, kScanChannels>> Amperes;
};

// Six sections by twelve motors, under a heading that names the source and the averaging.
// Every line fits 80 columns.
std::string RoundTable(const ScanRound& round, const std::string& source, int avg);

// "time,count1..count72" and, with amperes, "amps1..amps72"; lines end in "\n".
std::string CsvHeader(bool withAmperes);
std::string CsvLine(const ScanRound& round);

} // namespace registrator::tools
