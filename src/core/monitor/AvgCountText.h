#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace registrator::monitor {

// The averaging count as the operator types it: a decimal number 0..255, blanks around allowed.
// A larger number is refused rather than silently taken modulo 256.
std::optional<std::uint8_t> ParseAvgCount(std::string_view text);

} // namespace registrator::monitor
