// The number texts of the settings file and the scan timing window: any text parses or is refused
// without harm, and every number the program writes reads back.
#include "FuzzCheck.h"
#include "common/NumberText.h"
#include "monitor/AvgCountText.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

using namespace registrator;

namespace {

// 15 significant digits: within a few parts in 10^15, or a step of the smallest subnormal.
bool CloseTo(double a, double b) {
    return std::fabs(a - b) <= 1e-14 * std::fabs(b) + std::numeric_limits<double>::denorm_min();
}

void CheckReadsBack(double value) {
    if (!std::isfinite(value))
        return;
    for (const char separator : {',', '.'}) {
        const std::string text = common::FloatToText(value, separator);
        const auto parsed = common::ParseFloat(text, separator);
        if (!parsed || !CloseTo(*parsed, value))
            std::fprintf(stderr, "%.17g saved as \"%s\"\n", value, text.c_str());
        FUZZ_CHECK(parsed && CloseTo(*parsed, value));
        FUZZ_CHECK(common::ParseFloatAnySeparator(text) == parsed);

        const std::string shown = common::FloatToTextFourDecimals(value, separator);
        const auto shownValue = common::ParseFloat(shown, separator);
        FUZZ_CHECK(shownValue && std::fabs(*shownValue - value) <= 5e-5 + 1e-15 * std::fabs(value));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    for (const char separator : {',', '.'})
        if (const auto value = common::ParseFloat(text, separator)) {
            FUZZ_CHECK(std::isfinite(*value));
            CheckReadsBack(*value);
        }
    if (const auto value = common::ParseFloatAnySeparator(text))
        FUZZ_CHECK(std::isfinite(*value));
    if (const auto value = common::ParseInt(text))
        FUZZ_CHECK(common::ParseInt(common::IntToText(*value)) == value);
    if (const auto count = monitor::ParseAvgCount(text))
        FUZZ_CHECK(monitor::ParseAvgCount(std::to_string(*count)) == count);

    // The same bytes as a stored double, as the archive records and snapshots hold them.
    if (size >= sizeof(double)) {
        double stored = 0;
        std::memcpy(&stored, data, sizeof stored);
        CheckReadsBack(stored);
    }
    return 0;
}
