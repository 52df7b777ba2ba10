#include "monitor/ShownPanelStates.h"

namespace registrator::monitor {

void ShownPanelStates::Follow(const channels::ChannelData& data) {
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const PanelState state = ClassifyReading(data.Current(n).Value, data.Ustavki[n]);
        if (state != PanelState::Unchanged)
            states_[static_cast<std::size_t>(n - 1)] = state;
    }
}

int ShownPanelStates::Code(int channel) const {
    switch ((*this)[channel]) {
    case PanelState::Overloaded:
        return 3;
    case PanelState::AboveNominal:
        return 2;
    case PanelState::Running:
        return 1;
    default:
        return 0;
    }
}

} // namespace registrator::monitor
