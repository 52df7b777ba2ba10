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

} // namespace registrator::events
