#pragma once

#include "channels/ChannelData.h"
#include "monitor/ShownPanelStates.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace registrator::integration {

// The motors' retained MQTT messages, one topic a motor: after each history step, those whose
// message changed since it was last sent, as the label and the colour show a motor (whole amperes,
// not every flicker). It keeps the last message sent of each motor.
class RetainedMotors {
public:
    using Message = std::pair<std::string, std::string>; // topic, payload

    // The slot just archived: the step has moved the ring on to a fresh one.
    std::vector<Message> Changed(std::string_view station, const channels::ChannelData& data,
                                 const monitor::ShownPanelStates& states);

private:
    std::array<std::string, channels::kChannelCount + 1> sent_;
};

} // namespace registrator::integration
