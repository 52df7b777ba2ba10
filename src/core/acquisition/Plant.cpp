#include "acquisition/Plant.h"

#include "acquisition/Averaging.h"
#include "common/Rounding.h"

#include <algorithm>
#include <array>
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

Plant::Run Plant::RunAt(int channel, std::int64_t ms) const {
    const int section = channels::SectionOfChannel(channel);
    const int place = (channel - 1) % channels::kChannelsPerSection;
    const auto s = static_cast<std::uint64_t>(section);
    const auto c = static_cast<std::uint64_t>(channel);

    // Each section repeats a run of 35 to 70 seconds, shifted by its own phase.
    Run run;
    run.Period = 35000 + static_cast<std::int64_t>(35000 * Unit(s, 0, kPeriod));
    const auto shift = static_cast<std::int64_t>(static_cast<double>(run.Period) * Unit(s, 0, kPhase));
    const std::int64_t number = FloorDiv(ms + shift, run.Period);
    run.Begin = number * run.Period - shift;
    const auto n = static_cast<std::uint64_t>(number);
    const auto period = static_cast<double>(run.Period);

    run.Skipped = Unit(c, n, kSkip) < 0.08;
    // The section idles a while, then its motors start one after another and stop in reverse.
    const auto idle = static_cast<std::int64_t>(period * (0.10 + 0.15 * Unit(s, n, kIdle)));
    run.Start = idle + place * 1200 + static_cast<std::int64_t>(600 * Unit(c, n, kStart));
    run.Stop = run.Period - place * 400 - static_cast<std::int64_t>(period * 0.05 * Unit(c, n, kStop));
    run.Inrush = 1000 + static_cast<std::int64_t>(1000 * Unit(c, n, kInrush));
    const auto span = static_cast<double>(run.Stop - run.Start - run.Inrush);
    const auto window = [&](std::uint64_t at, std::uint64_t length, double minMs, double extraMs) {
        return Window{run.Start + run.Inrush + static_cast<std::int64_t>(span * (0.1 + 0.6 * Unit(c, n, at))),
                      static_cast<std::int64_t>(minMs + extraMs * Unit(c, n, length))};
    };
    if (Unit(c, n, kOverload) < 0.3)
        run.Overload = window(kOverloadAt, kOverloadLength, 2000, 3000);
    if (Unit(c, n, kHeavy) < 0.45)
        run.Heavy = window(kHeavyAt, kHeavyLength, 4000, 6000);
    return run;
}

Plant::Moment Plant::MomentAt(int channel, std::int64_t ms) const {
    return MomentIn(RunAt(channel, ms), ms);
}

Plant::Moment Plant::MomentIn(const Run& run, std::int64_t ms) {
    const std::int64_t time = ms - run.Begin;
    if (run.Skipped || time < run.Start || time >= run.Stop)
        return {MotorDuty::Off, 0};
    const std::int64_t running = time - run.Start;
    if (running < run.Inrush)
        return {MotorDuty::Starting, static_cast<double>(running) / static_cast<double>(run.Inrush)};
    if (run.Overload.Contains(time))
        return {MotorDuty::Overloaded, 0};
    if (run.Heavy.Contains(time))
        return {MotorDuty::Heavy, 0};
    return {MotorDuty::Running, 0};
}

double Plant::Lag(int channel, std::int64_t ms, const Run& run) const {
    // Each change of duty within the last few time constants: the part of its jump the transducer
    // has yet to follow. Runs last far longer than that, so only this run and the one before count.
    std::array<std::int64_t, 16> changes{};
    std::size_t count = 0;
    const auto add = [&](std::int64_t at) {
        if (at <= ms && ms - at < kLagSpanMs &&
            std::find(changes.begin(), changes.begin() + count, at) == changes.begin() + count)
            changes[count++] = at;
    };
    const auto addRun = [&](const Run& r) {
        if (r.Skipped)
            return;
        add(r.Begin + r.Start);
        add(r.Begin + r.Start + r.Inrush);
        add(r.Begin + r.Stop);
        for (const Window& window : {r.Overload, r.Heavy}) {
            if (window.Length > 0) {
                add(r.Begin + window.From);
                add(r.Begin + window.From + window.Length);
            }
        }
    };
    if (ms - run.Begin < kLagSpanMs)
        addRun(RunAt(channel, run.Begin - 1));
    addRun(run);
    double lag = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t at = changes[i];
        const Moment then = MomentAt(channel, at);
        const Moment just = MomentAt(channel, at - 1);
        if (then.Duty != just.Duty)
            lag -= (CurrentFor(channel, at, then) - CurrentFor(channel, at - 1, just)) *
                   std::exp(-static_cast<double>(ms - at) / kLagMs);
    }
    return lag;
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
    const Run run = RunAt(channel, ms);
    const Moment moment = MomentIn(run, ms);
    const MotorDuty duty = moment.Duty;
    const double lag = Lag(channel, ms, run);
    const double current = CurrentFor(channel, ms, moment) + lag;
    double aimed = u.Koof_K != 0 ? (current + u.Koof_B) / u.Koof_K : 0;
    if (!std::isfinite(aimed))
        aimed = 0;
    const int count = static_cast<int>(common::RoundHalfEven(std::clamp(aimed, 0.0, double{kMaxCount})));
    // Coarse coefficients can round a settled current out of its band: take a neighbouring count that
    // lands inside, if there is one. On its way between two duties the current belongs to neither.
    for (const int step : {0, -1, 1, -2, 2}) {
        const int candidate = count + step;
        if (lag == 0 && candidate >= 0 && candidate <= kMaxCount &&
            InBand(duty, ConvertCount(candidate, u), u))
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
