#include "acquisition/Plant.h"

#include "acquisition/Averaging.h"
#include "common/Rounding.h"

#include <algorithm>
#include <cmath>

namespace registrator::acquisition {

namespace {

constexpr int kMaxCount = 1023;

// Salts keep the random draws of one cycle independent of each other.
enum Salt : std::uint64_t {
    kPeriod = 1,
    kPhase,
    kIdle,
    kSkip,
    kStart,
    kStop,
    kInrush,
    kOverload,
    kOverloadAt,
    kOverloadLength,
    kHeavy,
    kHeavyAt,
    kHeavyLength,
    kLoad,
    kFastNoise,
    kSlowNoise,
};

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Where one motor is within its section's run.
struct Cycle {
    std::int64_t Number = 0;
    std::int64_t Time = 0; // since the start of the cycle
    std::int64_t Period = 0;
};

struct Window {
    std::int64_t From = 0;
    std::int64_t Length = 0;
    bool Contains(std::int64_t t) const { return t >= From && t < From + Length; }
};

bool InBand(MotorDuty duty, double v, const channels::TUstavka& u) {
    const double oborot = u.Oborot;
    switch (duty) {
    case MotorDuty::Off:
        return v <= oborot && v < u.T_Nom;
    case MotorDuty::Starting:
    case MotorDuty::Overloaded:
        return v > u.T_Max;
    case MotorDuty::Heavy:
        if (u.T_Nom < u.T_Max)
            return u.T_Nom < v && v < u.T_Max;
        [[fallthrough]];
    case MotorDuty::Running:
        break;
    }
    return oborot < v && v < u.T_Nom && v <= u.T_Max;
}

} // namespace

Plant::Plant(const channels::UstavkiTable& ustavki, const common::Clock& clock, unsigned seed)
    : ustavki_(ustavki), clock_(clock), seed_(Mix(seed)) {}

double Plant::Unit(std::uint64_t a, std::uint64_t b, std::uint64_t salt) const {
    const std::uint64_t h = Mix(seed_ ^ Mix(a ^ Mix(b ^ Mix(salt))));
    return static_cast<double>(h >> 11) * 0x1.0p-53;
}

double Plant::Noise(int channel, std::int64_t ms, std::int64_t stepMs, std::uint64_t salt) const {
    const std::int64_t knot = FloorDiv(ms, stepMs);
    const double f = static_cast<double>(ms - knot * stepMs) / static_cast<double>(stepMs);
    const double smooth = f * f * (3 - 2 * f);
    const auto c = static_cast<std::uint64_t>(channel);
    const double a = 2 * Unit(c, static_cast<std::uint64_t>(knot), salt) - 1;
    const double b = 2 * Unit(c, static_cast<std::uint64_t>(knot + 1), salt) - 1;
    return a + (b - a) * smooth;
}

MotorDuty Plant::DutyAt(int channel, std::int64_t ms) const {
    return MomentAt(channel, ms).Duty;
}

Plant::Moment Plant::MomentAt(int channel, std::int64_t ms) const {
    const int section = channels::SectionOfChannel(channel);
    const int place = (channel - 1) % channels::kChannelsPerSection;
    const auto s = static_cast<std::uint64_t>(section);
    const auto c = static_cast<std::uint64_t>(channel);

    // Each section repeats a run of 35 to 70 seconds, shifted by its own phase.
    Cycle cycle;
    cycle.Period = 35000 + static_cast<std::int64_t>(35000 * Unit(s, 0, kPeriod));
    const std::int64_t shifted = ms + static_cast<std::int64_t>(cycle.Period * Unit(s, 0, kPhase));
    cycle.Number = FloorDiv(shifted, cycle.Period);
    cycle.Time = shifted - cycle.Number * cycle.Period;
    const auto n = static_cast<std::uint64_t>(cycle.Number);
    const auto period = static_cast<double>(cycle.Period);

    if (Unit(c, n, kSkip) < 0.08)
        return {MotorDuty::Off, 0};
    // The section idles a while, then its motors start one after another and stop in reverse.
    const auto idle = static_cast<std::int64_t>(period * (0.10 + 0.15 * Unit(s, n, kIdle)));
    const std::int64_t start = idle + place * 1200 + static_cast<std::int64_t>(600 * Unit(c, n, kStart));
    const std::int64_t stop =
        cycle.Period - place * 400 - static_cast<std::int64_t>(period * 0.05 * Unit(c, n, kStop));
    if (cycle.Time < start || cycle.Time >= stop)
        return {MotorDuty::Off, 0};

    const std::int64_t inrush = 1000 + static_cast<std::int64_t>(1000 * Unit(c, n, kInrush));
    const std::int64_t running = cycle.Time - start;
    if (running < inrush)
        return {MotorDuty::Starting, static_cast<double>(running) / static_cast<double>(inrush)};
    const auto span = static_cast<double>(stop - start - inrush);
    const auto window = [&](std::uint64_t at, std::uint64_t length, double minMs, double extraMs) {
        return Window{start + inrush + static_cast<std::int64_t>(span * (0.1 + 0.6 * Unit(c, n, at))),
                      static_cast<std::int64_t>(minMs + extraMs * Unit(c, n, length))};
    };
    if (Unit(c, n, kOverload) < 0.3 && window(kOverloadAt, kOverloadLength, 2000, 3000).Contains(cycle.Time))
        return {MotorDuty::Overloaded, 0};
    if (Unit(c, n, kHeavy) < 0.45 && window(kHeavyAt, kHeavyLength, 4000, 6000).Contains(cycle.Time))
        return {MotorDuty::Heavy, 0};
    return {MotorDuty::Running, 0};
}

double Plant::CurrentAt(int channel, std::int64_t ms) const {
    return CurrentFor(channel, ms, MomentAt(channel, ms));
}

double Plant::CurrentFor(int channel, std::int64_t ms, const Moment& moment) const {
    const channels::TUstavka& u = ustavki_[channel];
    const double low = std::max<double>(u.Oborot, 0);
    const double high = std::max(low, std::min(u.T_Nom, u.T_Max));
    const double band = high - low;
    // Far enough beyond the critical current that one count of the converter cannot undo it.
    const double margin = std::max({0.2 * std::abs(u.T_Max), 2 * std::abs(u.Koof_K), 1.0});
    const double overload = u.T_Max + margin;
    const double noise =
        0.7 * Noise(channel, ms, 400, kFastNoise) + 0.3 * Noise(channel, ms, 5000, kSlowNoise);

    switch (moment.Duty) {
    case MotorDuty::Off:
        return 0;
    case MotorDuty::Starting: {
        const double peak = std::max(1.8 * overload, overload + 3 * margin);
        return peak - (peak - overload) * moment.Progress;
    }
    case MotorDuty::Overloaded:
        return overload + 0.3 * margin * noise;
    case MotorDuty::Heavy:
        if (u.T_Nom < u.T_Max)
            return u.T_Nom + (u.T_Max - u.T_Nom) * (0.5 + 0.2 * noise);
        return low + band * (0.8 + 0.05 * noise);
    case MotorDuty::Running:
        break;
    }
    const double load = 0.35 + 0.3 * Unit(static_cast<std::uint64_t>(channel), 0, kLoad);
    return low + band * (load + 0.12 * noise);
}

std::uint16_t Plant::CountAt(int channel, std::int64_t ms) const {
    const channels::TUstavka& u = ustavki_[channel];
    const Moment moment = MomentAt(channel, ms);
    const MotorDuty duty = moment.Duty;
    const double current = CurrentFor(channel, ms, moment);
    double aimed = u.Koof_K != 0 ? (current + u.Koof_B) / u.Koof_K : 0;
    if (!std::isfinite(aimed))
        aimed = 0;
    const int count = static_cast<int>(common::RoundHalfEven(std::clamp(aimed, 0.0, double{kMaxCount})));
    // Coarse coefficients can round the current out of its band: take a neighbouring count that
    // lands inside, if there is one.
    for (const int step : {0, -1, 1, -2, 2}) {
        const int candidate = count + step;
        if (candidate >= 0 && candidate <= kMaxCount && InBand(duty, ConvertCount(candidate, u), u))
            return static_cast<std::uint16_t>(candidate);
    }
    return static_cast<std::uint16_t>(count);
}

void Plant::SampleCounts(ConverterCounts& counts) {
    const auto ms = static_cast<std::int64_t>(std::llround(clock_.Now() * common::kMsPerDay));
    for (int channel = 1; channel <= kConverterCount; ++channel)
        counts[static_cast<std::size_t>(channel - 1)] = CountAt(channel, ms);
}

} // namespace registrator::acquisition
