#pragma once

#include "channels/ChannelData.h"
#include "events/MotorEvents.h"

#include <optional>

namespace registrator::events {

// The journal's line of an apply that changed the channel: each changed field by the window's own
// caption, with its old and new value ("Ток ном.: 100 → 120; k: 1 → 1,25"); nothing when the apply
// stored what was there already.
std::optional<Event> CalibrationChange(common::TDateTime now, int channel, const channels::TUstavka& before,
                                       const channels::TUstavka& after);

// What the scan timing window applies.
struct ScanTiming {
    int FastMs = 0; // "скорость сканирования"
    int SlowMs = 0; // "скорость записи"
    int AvgCount = 0;
};

// The journal's line of an apply of the scan timing window that changed anything, by the window's
// captions: "скорость сканирования: 10 мс → 20 мс, среднее арифметическое: 5 → 3".
std::optional<Event> ScanTimingChange(common::TDateTime now, const ScanTiming& before,
                                      const ScanTiming& after);

} // namespace registrator::events
