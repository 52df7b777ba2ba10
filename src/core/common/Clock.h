#pragma once

#include "common/DateTime.h"

namespace registrator::common {

// Local date and time with millisecond resolution.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TDateTime Now() const = 0;

    TDateTime Today() const { return DatePart(Now()); }
    TDateTime TimeOfDayNow() const { return TimePart(Now()); }
};

class SystemClock final : public Clock {
public:
    TDateTime Now() const override;
};

// A clock that shows what it was last set to; tests move it across midnight by hand.
class SettableClock final : public Clock {
public:
    explicit SettableClock(TDateTime now = 0.0) : now_(now) {}
    TDateTime Now() const override { return now_; }
    void Set(TDateTime now) { now_ = now; }
    void AdvanceMs(double ms) { now_ += ms / kMsPerDay; }

private:
    TDateTime now_;
};

} // namespace registrator::common
