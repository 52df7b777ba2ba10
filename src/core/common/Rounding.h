#pragma once

#include <cfenv>
#include <cmath>

namespace registrator::common {

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4). The default
// floating-point rounding mode does exactly this; nothing in the program changes that mode.
inline double RoundHalfEven(double value) {
    return std::nearbyint(value);
}
inline long double RoundHalfEven(long double value) {
    return std::nearbyintl(value);
}

} // namespace registrator::common
