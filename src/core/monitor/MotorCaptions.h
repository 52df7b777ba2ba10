#pragma once

#include <array>
#include <string_view>

namespace registrator::monitor {

// The fixed text lines painted on each motor panel of the mimic, top to bottom. These name the
// plant's equipment and do not follow the operator-editable motor names.
struct MotorCaption {
    std::array<std::string_view, 3> Lines;
    int LineCount;
};

const MotorCaption& MotorCaptionOf(int channel);

} // namespace registrator::monitor
