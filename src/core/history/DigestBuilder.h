#pragma once

#include "archive/ArchiveRecords.h"
#include "history/DigestFormat.h"
#include "history/DigestKernel.h"
#include "monitor/DaySummary.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace registrator::history {

// A channel's state at one record, in the order of the thresholds: each above the ones before.
enum Level : std::uint8_t { NoData = 0, Off = 1, Running = 2, AboveNominal = 3, Overloaded = 4 };

// The state monitor::ClassifyReading gives, Unchanged as NoData for the caller to replace.
Level LevelOfReading(double amperes, const channels::TUstavka& motor);

// A day's digest made from its records in one pass: the band of every minute as the records come,
// each record's states kept (one byte a channel) until the typical period is known, then the time each
// record stands for (monitor::SpanOfRecord) shared out among the minutes it covers.
class DigestBuilder {
public:
    // `start`: each channel's state before the first record (a growing day's digest goes on from its
    // own); off when not given, as the day summary starts.
    DigestBuilder() = default;
    // Starts a new digest; the memory of the last one is kept for it.
    void Reset(const channels::UstavkiTable& motors, const std::uint8_t* start = nullptr);

    // Room for this many records, so that a day's states are not moved as they grow.
    void Reserve(std::uint64_t records);
    void Add(std::span<const archive::TArhivRec> block);
    // `period`: the typical period to count with, the day's own when not given. `next`: the time of the
    // record after the last one added, when the day goes on.
    // The digest goes into `into`, whose memory is reused.
    void Finish(std::optional<double> period, std::optional<double> next, DayDigest& into);

    std::uint64_t Records() const { return records_; }

private:
    void Spend(std::size_t record, double from, double span);

    std::unique_ptr<KernelRules> rules_ = std::make_unique<KernelRules>();
    // Channels whose thresholds do not sort (not finite): asked of the rule reading by reading.
    std::vector<std::pair<std::size_t, channels::TUstavka>> slow_;
    std::array<double, kChannels> slowPrevious_{};
    std::array<DigestThresholds, kChannels> thresholds_{};
    KernelCarry carry_{};
    std::uint64_t records_ = 0;
    monitor::TypicalPeriod period_;
    std::optional<double> lastTime_;
    std::vector<std::uint64_t> runStarts_;
    bool tooManyRuns_ = false;
    std::array<std::uint32_t, kMinutesPerDay> minuteRecords_{};
    // Per minute and channel, [minute * kChannels + channel - 1].
    std::vector<double> min_, max_, sum_, count_;
    // The records with a time of day: their times and states, kChannels a record.
    std::vector<double> times_;
    std::vector<std::uint8_t> levels_;
    // Milliseconds per minute, channel and level, [(minute * kChannels + channel - 1) * 5 + level].
    std::vector<double> spent_;
};

// The minute of the day a stored time falls in, as its text rounded to the millisecond shows it.
int MinuteOf(double time);

// Identity of the covered part of a day file: its count and its first and last records.
std::uint64_t IdentityOf(std::uint64_t records, const archive::TArhivRec& first,
                         const archive::TArhivRec& last);

// Returns false to stop.
using StopCheck = std::function<bool()>;

struct BuildOutcome {
    bool Built = false; // false: no whole record, a read failure, or stopped
    std::string Error;  // the system's reason for a failure
    bool Stopped = false;
};

// Reads the day file once, in blocks that stay in the processor's cache, and makes its digest with the
// day's motors (monitor::MotorsOfDay). A FinishedMinutes digest leaves out the records of the file's
// last minute; a file whose records all lie in one minute gets a WholeDay one.
// `into` and `workspace` keep their memory from one day to the next.
BuildOutcome BuildDigest(const std::string& dayPath, const channels::UstavkiTable& motors, DigestKind kind,
                         DayDigest& into, DigestBuilder& workspace, const StopCheck& stop = {});

} // namespace registrator::history
