#include "monitor/AvgCountText.h"

#include "common/NumberText.h"

namespace registrator::monitor {

std::optional<std::uint8_t> ParseAvgCount(std::string_view text) {
    const std::string_view digits = common::Trim(text);
    if (digits.empty() || digits.size() > 3)
        return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

} // namespace registrator::monitor
