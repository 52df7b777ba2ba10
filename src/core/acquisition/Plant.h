#pragma once

#include "acquisition/ConverterBank.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"

#include <cstdint>

namespace registrator::acquisition {

// What a simulated motor is doing.
enum class MotorDuty {
    Off,
    Starting, // inrush, above the critical current
    Running,
    Heavy,      // above nominal where the settings allow it, else the top of the running band
    Overloaded, // above the critical current
};

// A made-up plant of 72 motors for the simulated port. Each section runs in its own rhythm: its
// motors start one after another (each with a short inrush), run with load noise, now and then
// carry a heavy load or an overload, and stop until the section's next run; some sit a run out.
// Currents are aimed at each channel's own thresholds and turned into counts through the inverse
// of its coefficients, so the panel makes sense for whatever calibration is loaded. The converters
// see each current through a transducer, a first-order lag of kLagMs, so a start ramps up over a few
// scan cycles as at a station. Everything is a function of the seed, the settings and the clock's
// time, so a settable clock replays it.
class Plant final : public ConverterInputs {
public:
    Plant(const channels::UstavkiTable& ustavki, const common::Clock& clock, unsigned seed);

    void SampleCounts(ConverterCounts& counts) override;

    // The transducer's time constant, and how far back a change of duty still shows.
    static constexpr double kLagMs = 200;
    static constexpr std::int64_t kLagSpanMs = 1000;

    // Time in milliseconds since the date-time epoch.
    MotorDuty DutyAt(int channel, std::int64_t ms) const;
    // The motor's current, and what its converter reads through the transducer.
    double CurrentAt(int channel, std::int64_t ms) const;
    std::uint16_t CountAt(int channel, std::int64_t ms) const;

private:
    struct Moment {
        MotorDuty Duty;
        double Progress; // through the inrush, 0 to 1
    };
    struct Window {
        std::int64_t From = 0; // since the run's beginning
        std::int64_t Length = 0;
        bool Contains(std::int64_t t) const { return t >= From && t < From + Length; }
    };
    // One motor's part in one run of its section; times since the run's beginning.
    struct Run {
        std::int64_t Begin = 0; // ms
        std::int64_t Period = 0;
        bool Skipped = false;
        std::int64_t Start = 0;
        std::int64_t Inrush = 0;
        std::int64_t Stop = 0;
        Window Overload; // empty when the run has none
        Window Heavy;
    };
    Run RunAt(int channel, std::int64_t ms) const;
    Moment MomentAt(int channel, std::int64_t ms) const;
    static Moment MomentIn(const Run& run, std::int64_t ms);
    // What the transducer adds to the current at `ms` within `run`: 0 once every change of duty has
    // settled.
    double Lag(int channel, std::int64_t ms, const Run& run) const;
    double CurrentFor(int channel, std::int64_t ms, const Moment& moment) const;
    double Unit(std::uint64_t a, std::uint64_t b, std::uint64_t salt) const;
    double Noise(int channel, std::int64_t ms, std::int64_t stepMs, std::uint64_t salt) const;

    const channels::UstavkiTable& ustavki_;
    const common::Clock& clock_;
    std::uint64_t seed_;
};

} // namespace registrator::acquisition
