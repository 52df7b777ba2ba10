#pragma once

#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/OperatorMessages.h"

#include <functional>

namespace registrator::monitor {

// One fast tick: reprogram the 8255, average AvgCount scans into the current slot and convert it
// to amperes. Returns false when the averaging failed and the slot was left as it was.
bool RunScanCycle(acquisition::ScanProtocol& protocol, channels::ChannelData& data,
                  const common::Clock& clock, common::OperatorMessages& messages,
                  const std::function<void()>& onAvgCountReset);

// One slow tick: archive the current slot, write the new day's snapshot when the date has changed
// (either way) or try again the day's snapshot that could not be written, then move the ring on.
void RunHistoryStep(archive::Archive& archive, channels::ChannelData& data, const common::Clock& clock);

} // namespace registrator::monitor
