#pragma once

#include "common/DateTime.h"

#include <atomic>
#include <cstdint>

namespace registrator::common {

// Local date and time with millisecond resolution.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TDateTime Now() const = 0;
    // Whole seconds since 1970-01-01 00:00 UTC, as other systems stamp time: by default the local
    // time Now() gives, through the computer's zone rules.
    virtual std::int64_t UnixSeconds() const;

    TDateTime Today() const { return DatePart(Now()); }
    TDateTime TimeOfDayNow() const { return TimePart(Now()); }
};

class SystemClock final : public Clock {
public:
    TDateTime Now() const override;
    std::int64_t UnixSeconds() const override;
};

// A clock that shows what it was last set to; tests move it across midnight by hand. It may be read
// on another thread (the MQTT publisher's) while the test thread sets it.
class SettableClock final : public Clock {
public:
    explicit SettableClock(TDateTime now = 0.0) : now_(now) {}
    TDateTime Now() const override { return now_.load(); }
    void Set(TDateTime now) { now_.store(now); }
    // Only the thread that sets it moves it on.
    void AdvanceMs(double ms) { now_.store(now_.load() + ms / kMsPerDay); }

private:
    std::atomic<TDateTime> now_;
};

} // namespace registrator::common
