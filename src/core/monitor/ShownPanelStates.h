#pragma once

#include "channels/ChannelData.h"
#include "monitor/PanelState.h"

#include <array>

namespace registrator::monitor {

// The state each panel shows, followed cycle by cycle as the mimic colours it: a reading exactly on a
// threshold keeps the state the panel had. They start as the mimic is drawn before its first reading:
// the first motor switched off, every other one running.
class ShownPanelStates {
public:
    ShownPanelStates() {
        states_.fill(PanelState::Running);
        states_[0] = PanelState::Off;
    }

    // After each scan cycle, on its converted slot.
    void Follow(const channels::ChannelData& data);

    PanelState operator[](int channel) const { return states_.at(static_cast<std::size_t>(channel - 1)); }
    // 0 switched off, 1 running, 2 above nominal, 3 above critical: the order of seriousness.
    int Code(int channel) const;

private:
    std::array<PanelState, channels::kChannelCount> states_;
};

} // namespace registrator::monitor
