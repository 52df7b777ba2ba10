#include "acquisition/Averaging.h"

#include "common/Rounding.h"

#include <array>
#include <limits>

namespace registrator::acquisition {

namespace {

constexpr std::uint8_t kRecoveredAvgCount = 5;

// A whole number of amperes from the rounded product. Calibrations far outside any real range could
// give more than a 64-bit integer holds; those saturate instead of wrapping.
double WholeAmperes(long double rounded) {
    if (!(rounded > 0))
        return 0;
    constexpr long double kLimit = 9223372036854775807.0L;
    if (rounded >= kLimit)
        return static_cast<double>(std::numeric_limits<std::int64_t>::max());
    return static_cast<double>(static_cast<std::int64_t>(rounded));
}

} // namespace

bool AverageScans(ScanProtocol& protocol, channels::ChannelData& data, std::uint8_t scans,
                  const common::Clock& clock, common::OperatorMessages& messages,
                  const std::function<void()>& onAvgCountReset) {
    if (scans == 0) {
        // Set before the box opens: ticks that run under it must already average 5 scans.
        data.AvgCount = kRecoveredAvgCount;
        if (onAvgCountReset)
            onAvgCountReset();
        messages.Show("Ошибка деление на ноль: ");
        return false;
    }

    std::array<std::int32_t, kConverterCount> sums{};
    for (int scan = 0; scan < scans; ++scan) {
        protocol.ScanConverters();
        for (std::size_t i = 0; i < sums.size(); ++i)
            sums[i] += protocol.ScanResult[i];
    }
    for (int channel = 1; channel <= kConverterCount; ++channel) {
        channels::TTokSlot& slot = data.Current(channel);
        slot.Value = common::RoundHalfEven(static_cast<double>(sums[static_cast<std::size_t>(channel - 1)]) /
                                           static_cast<double>(scans));
        slot.Time = clock.Now();
    }
    return true;
}

double ConvertCount(double count, const channels::TUstavka& settings) {
    // The product and the offset in the 64-bit mantissa: plain doubles round some readings to
    // the neighbouring ampere (5 counts at k = 0.1 would show 0 A instead of 1 A).
    const long double exact = static_cast<long double>(count) * static_cast<long double>(settings.Koof_K) -
                              static_cast<long double>(settings.Koof_B);
    return WholeAmperes(common::RoundHalfEven(exact));
}

void ConvertReadings(channels::ChannelData& data, const common::Clock& clock) {
    for (int channel = 1; channel <= kConverterCount; ++channel) {
        channels::TTokSlot& slot = data.Current(channel);
        data.RawCounts[static_cast<std::size_t>(channel - 1)] = slot.Value;
        slot.Value = ConvertCount(slot.Value, data.Ustavki[channel]);
        slot.Time = clock.TimeOfDayNow();
    }
}

} // namespace registrator::acquisition
