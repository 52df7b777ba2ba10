#pragma once

#include "archive/ArchiveFile.h"
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

// A day's digest made from its records in one pass. The records come in stretches of one minute: the
// band of each stretch is taken for all channels at once, and where a channel's band lies between two
// thresholds its state is the same for the whole stretch; only the other channels are classed reading
// by reading. The states are kept only where they change, with each record's time, until the typical
// period is known; then the time each record stands for (monitor::SpanOfRecord) is shared out among
// the minutes it covers.
class DigestBuilder {
public:
    DigestBuilder();
    // Starts a new digest; the memory of the last one is kept for it. `start`: each channel's state
    // before the first record (a growing day's digest goes on from its own); off when not given, as
    // the day summary starts.
    void Reset(const channels::UstavkiTable& motors, const std::uint8_t* start = nullptr);

    // Room for this many records, so that a day's times are not moved as they grow.
    void Reserve(std::uint64_t records);
    // A block of `records` records (kept from one day to the next) to read into and hand to Add.
    std::span<archive::TArhivRec> Block(std::size_t records);
    void Add(std::span<const archive::TArhivRec> block);
    // `period`: the typical period to count with, the day's own when not given. `next`: the time of the
    // record after the last one added, when the day goes on.
    // The digest goes into `into`, whose memory is reused; SealDigest completes it.
    void Finish(std::optional<double> period, std::optional<double> next, DayDigest& into);

    std::uint64_t Records() const { return count_; }

private:
    // Records [0, count) of `stretch`, all with a time of day in `minute`; the first is times_[first].
    void AddStretch(const archive::TArhivRec* stretch, std::size_t count, std::size_t minute,
                    std::size_t first);
    // Channel c reading by reading over the stretch: its states into column, and its band when `band`.
    void ClassEach(const archive::TArhivRec* stretch, std::size_t count, std::size_t minute, std::size_t c,
                   bool band, std::uint8_t* column);
    void Touch(std::size_t minute);
    void Change(std::size_t record);
    void CountMilliseconds(double period, std::optional<double> next);

    std::unique_ptr<KernelRules> rules_;
    channels::UstavkiTable motors_;
    std::array<bool, kChannels> slow_{}; // thresholds that do not sort: the rule itself, reading by reading
    std::array<DigestThresholds, kChannels> thresholds_{};
    std::uint64_t count_ = 0; // records added, with a time of day or not
    monitor::TypicalPeriod period_;
    double lastTime_ = 0;
    // The minute of the last record, and the times in it (as milliseconds of the day, unrounded).
    std::size_t minute_ = 0;
    double minuteFrom_ = 0;
    double minuteTo_ = 0;
    std::vector<std::uint64_t> runStarts_;
    bool tooManyRuns_ = false;
    std::array<std::uint32_t, kMinutesPerDay> minuteRecords_{};

    // Each channel's state before the next record (that of its last plausible reading), and the states
    // the last record stood for (NoData for an implausible reading).
    std::array<std::uint8_t, kChannels> previous_{};
    std::array<std::uint8_t, kChannels> current_{};
    // The records with a time of day; from changes_[k] on, every record stands for states_[k * 72..].
    std::vector<double> times_;
    std::vector<std::uint32_t> changes_;
    std::vector<std::uint8_t> states_;

    // Per minute a row of three figures for each channel, [(minute * 3 + k) * kChannels + channel - 1],
    // not cleared ahead (a day seldom needs all of them). The band of its plausible readings, k: lowest,
    // highest, sum; set when the minute is first touched.
    std::array<bool, kMinutesPerDay> touched_{};
    std::unique_ptr<double[]> band_;
    // Milliseconds above the switch-off, nominal and critical currents (k = 0, 1, 2); set when the
    // minute is first timed.
    std::array<bool, kMinutesPerDay> timed_{};
    // Finish turns them into whole milliseconds, the steps of their running totals.
    std::unique_ptr<double[]> above_;
    // Implausible readings, few: minute, channel and count.
    struct Missing {
        std::uint32_t Minute;
        std::uint32_t Channel;
        std::uint32_t Count;
    };
    std::vector<Missing> missing_;
    std::vector<std::uint8_t> columns_;  // ClassEach's states, a stretch's length per channel
    std::vector<std::uint32_t> records_; // per channel its records per minute, when some were implausible
    std::vector<archive::TArhivRec> block_;
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
// day's motors (monitor::MotorsOfDay), sealed. A FinishedMinutes digest leaves out the records of the
// file's last minute; a file whose records all lie in one minute gets a WholeDay one.
// `into` and `workspace` keep their memory from one day to the next.
BuildOutcome BuildDigest(const std::string& dayPath, const channels::UstavkiTable& motors, DigestKind kind,
                         DayDigest& into, DigestBuilder& workspace, const StopCheck& stop = {},
                         archive::ArchiveFile::Links links = archive::ArchiveFile::Links::Follow);

} // namespace registrator::history
