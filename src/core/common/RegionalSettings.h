#pragma once

#include <string>

namespace registrator::common {

// The parts of the system's regional settings that the program's texts follow.
struct RegionalSettings {
    char DecimalSeparator = ',';
    std::string ShortDateFormat = "dd.MM.yyyy";
    std::string LongTimeFormat = "H:mm:ss";

    static RegionalSettings Russian() { return {}; }
};

} // namespace registrator::common
