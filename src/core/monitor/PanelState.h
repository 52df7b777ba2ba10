#pragma once

#include "channels/ChannelData.h"

#include <cstdint>
#include <string>

namespace registrator::monitor {

enum class PanelState {
    Overloaded,   // above the critical current
    AboveNominal, // between nominal and critical
    Running,
    Off,       // at or below the switch-off current
    Unchanged, // exactly on a threshold: the panel keeps its colour
};

// The panel colour of each state as 0xRRGGBB; the switched-off grey stands apart from the other three.
// The web view paints with the same colours as the mimic.
std::uint32_t PanelRgb(PanelState state);

// The first of the strict comparisons that holds decides; see the tests for the boundaries.
PanelState ClassifyReading(double value, const channels::TUstavka& settings);

// The current label's text: the whole number of amperes, halves to even.
std::string CurrentLabelText(double value);

} // namespace registrator::monitor
