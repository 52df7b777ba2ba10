#include "integration/RetainedMotors.h"

#include "integration/MqttMessages.h"

#include <cmath>

namespace registrator::integration {

std::vector<RetainedMotors::Message> RetainedMotors::Changed(std::string_view station,
                                                             const channels::ChannelData& data,
                                                             const monitor::ShownPanelStates& states) {
    std::vector<Message> changed;
    const int archived = (data.TokIndex + channels::kRingSize - 1) % channels::kRingSize;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const double current = std::nearbyint(data.TokHistory.At(n, archived).Value);
        std::string payload = MotorJson(n, data.Ustavki[n], current, states[n]);
        if (payload == sent_[n])
            continue;
        sent_[n] = payload;
        changed.emplace_back(MqttTopic(station, "motor/" + std::to_string(n)), std::move(payload));
    }
    return changed;
}

} // namespace registrator::integration
