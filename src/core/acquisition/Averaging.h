#pragma once

#include "acquisition/ScanProtocol.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/OperatorMessages.h"

#include <cstdint>
#include <functional>

namespace registrator::acquisition {

// Runs `scans` scans and stores each channel's average count (halves to even) and the date-time
// into the slot at TokIndex. With 0 scans it recovers: AvgCount back to 5, `onAvgCountReset` (the
// scan timing window puts "5" into its field), then "Ошибка деление на ноль: " to the operator;
// no slot is written and false is returned.
bool AverageScans(ScanProtocol& protocol, channels::ChannelData& data, std::uint8_t scans,
                  const common::Clock& clock, common::OperatorMessages& messages,
                  const std::function<void()>& onAvgCountReset);

// Converts the slot at TokIndex of every channel in place: Round(x*Koof_K - Koof_B) in extended
// precision, clamped at 0, stamped with the time of day. The counts stay behind in RawCounts.
void ConvertReadings(channels::ChannelData& data, const common::Clock& clock);

// The conversion of one averaged count with a channel's coefficients: whole amperes, never negative.
double ConvertCount(double count, const channels::TUstavka& settings);

} // namespace registrator::acquisition
