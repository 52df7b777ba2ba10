#pragma once

#include "archive/ArchiveRecords.h"
#include "channels/ChannelData.h"
#include "monitor/PanelState.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace registrator::monitor {

// The longest slow period the scan timing window can set; no typical period is taken longer.
constexpr double kLongestPeriodSeconds = 300;
// No motor draws this much; a larger stored reading can only come from a damaged record.
constexpr double kAbsurdCurrent = 1e7;

// A stored reading that can be a current at all: finite, not negative, not absurd. Inline: digests
// ask it of every reading of a day.
inline bool IsPlausibleReading(double amperes) {
    return amperes >= 0 && amperes <= kAbsurdCurrent; // false for NaN and the infinities
}
// A stored time that is a time of day (0 <= time < 1).
inline bool IsTimeOfDay(double time) {
    return time >= 0 && time < 1; // false for NaN and the infinities
}

// The typical period of a day: the median spacing between consecutive records (the lower of the two
// middle ones for an even count), in whole milliseconds, at most kLongestPeriodSeconds; 1 s for a day
// of fewer than two records. Spacings of zero or less (a clock set back) are left out. Memory stays
// bounded however many records come.
class TypicalPeriod {
public:
    // Times of day in file order; records whose time is no time of day are skipped by the caller.
    // Inline: digests add every record of a day.
    void Add(double time) {
        if (last_ && time > *last_) {
            // Rounded as std::llround rounds, without its cost.
            const double exact = (time - *last_) * 86400000.0;
            const auto whole = static_cast<std::int64_t>(exact);
            Count(static_cast<std::size_t>(whole + (exact - static_cast<double>(whole) >= 0.5 ? 1 : 0)));
        }
        last_ = time;
    }
    double Period() const; // as a fraction of a day
    // Starts again, keeping its memory.
    void Clear();

private:
    void Count(std::size_t ms) {
        if (ms > 0 && ms < counts_.size()) {
            ++counts_[ms];
            longest_ = std::max(longest_, ms);
            ++total_;
        } else if (ms > 0) {
            CountRare(ms);
        }
    }
    void CountRare(std::size_t ms); // longer than the longest period, or the first one

    std::vector<std::uint32_t> counts_; // counts_[ms]: spacings of ms milliseconds
    std::size_t longest_ = 0;           // the longest spacing counted there
    std::uint64_t longer_ = 0;          // spacings past the longest period
    std::uint64_t total_ = 0;
    std::optional<double> last_;
};

// A run of records above the critical current. Times are times of day (fractions of a day).
struct OverloadEpisode {
    double Start = 0;            // time of its first record
    double End = 0;              // when the next reading was taken, or one period after its last record
    double Peak = 0;             // highest current in it
    double PeakTime = 0;         // first time that current was read
    std::size_t FirstRecord = 0; // its records, as indexes into the day's records
    std::size_t LastRecord = 0;
};

// One motor's day, from its archived readings, classed as the mimic panel colours them.
struct MotorDaySummary {
    std::size_t Records = 0;
    double OffSeconds = 0;
    double RunningSeconds = 0;
    double AboveNominalSeconds = 0;
    double OverloadedSeconds = 0;
    // Gaps between records beyond what the records stand for, and the time of records that hold no
    // plausible reading of the motor.
    double NoDataSeconds = 0;
    int Starts = 0; // switched off, then any other state at the next record
    bool PeakSeen = false;
    double Peak = 0;
    double PeakTime = 0;
    std::size_t OverloadCount = 0;
    double LongestOverloadSeconds = 0;
    std::vector<OverloadEpisode> Overloads; // each episode, when asked for
};

// What one record stands for, as fractions of a day: `Span` from its own time on, then `Gap` without
// data. The next record more than three typical periods away (or none) leaves one period and a gap;
// a next record at the same time or earlier (a clock set back) leaves nothing; never past midnight.
struct RecordSpan {
    double Span = 0;
    double Gap = 0;
    bool GapAfter = false; // no record follows within three periods
};
// Inline: digests ask it of every record.
inline RecordSpan SpanOfRecord(double time, std::optional<double> nextTime, double period) {
    RecordSpan out{period, 0, !nextTime};
    if (nextTime) {
        const double next = *nextTime - time;
        if (next <= 0) {
            out.Span = 0;
        } else if (next <= 3 * period) {
            out.Span = next;
        } else {
            out.Gap = next - period;
            out.GapAfter = true;
        }
    }
    out.Span = std::min(out.Span, 1 - time);
    return out;
}

// One motor's day built record by record. Each record stands for the time until the next one; when
// the next one is more than three typical periods away, or there is none, for one typical period and
// the rest is a gap; never past midnight. A reading exactly on a threshold keeps the state before it,
// as the panel keeps its colour; none before counts as off.
class MotorDayCounter {
public:
    MotorDayCounter(int channel, const channels::TUstavka& settings, double period, bool keepEpisodes);
    void Add(const archive::TArhivRec& record);
    MotorDaySummary Finish();

private:
    struct Pending {
        double Time;
        double Value;
        std::size_t Index;
    };
    void Settle(const Pending& record, std::optional<double> nextTime);

    std::size_t column_;
    channels::TUstavka settings_;
    double period_;
    bool keepEpisodes_;
    std::size_t index_ = 0;
    std::optional<Pending> pending_;
    bool anySettled_ = false;
    PanelState previous_ = PanelState::Off; // the state of the last plausible reading
    bool inEpisode_ = false;
    OverloadEpisode episode_;
    MotorDaySummary summary_;
};

// One motor's day of records held in memory, with its overload episodes.
MotorDaySummary SummarizeMotorDay(std::span<const archive::TArhivRec> records, int channel,
                                  const channels::TUstavka& settings);

using DaySummaries = std::array<MotorDaySummary, channels::kChannelCount>; // [n - 1] for channel n

// All 72 motors of a day whose records come in blocks, twice: `pass(visit)` must hand every block
// of the day to `visit` in file order, and is called once for the typical period, once for the rest.
// Returns false when a pass failed; the summaries then hold what came before the failure.
template <typename Pass>
bool SummarizeDay(Pass&& pass, const channels::UstavkiTable& motors, DaySummaries& out);

// A break in the recording between two records of a day: the next record more than three typical
// periods away (the recorder stopped, or the computer was off).
struct RecordingBreak {
    std::size_t Before = 0; // index of the last record before it
    std::size_t After = 0;  // index of the first record after it
    double Seconds = 0;     // time between the two records
};

// The breaks of a day held in memory, in file order, by the same rule the summary counts them with.
std::vector<RecordingBreak> BreaksOfDay(std::span<const archive::TArhivRec> records);

// Where a motor's thresholds were taken from.
enum class ThresholdSource { DaySnapshot, PresentSettings, ProgramDefaults };

struct DayMotors {
    channels::UstavkiTable Motors;
    std::array<ThresholdSource, channels::kChannelCount> Source{}; // [n - 1] for channel n
};

// The one rule for a day's thresholds: the day's own snapshot for every motor it holds (entry k - 1 for
// channel k), with its name; `present` for the rest and for every switch-off current, which snapshots
// do not keep.
DayMotors MotorsOfDay(std::span<const archive::TUstRec> snapshot, const channels::UstavkiTable& present,
                      ThresholdSource presentSource = ThresholdSource::PresentSettings);

// The thresholds of a day's snapshot record with the switch-off current from `present`.
channels::TUstavka ThresholdsOfDay(const archive::TUstRec& snapshot, const channels::TUstavka& present);

template <typename Pass>
bool SummarizeDay(Pass&& pass, const channels::UstavkiTable& motors, DaySummaries& out) {
    TypicalPeriod period;
    const bool first = pass([&](std::span<const archive::TArhivRec> block) {
        for (const archive::TArhivRec& record : block)
            if (IsTimeOfDay(record.Time))
                period.Add(record.Time);
    });
    std::vector<MotorDayCounter> counters;
    counters.reserve(channels::kChannelCount);
    for (int n = 1; n <= channels::kChannelCount; ++n)
        counters.emplace_back(n, motors[n], period.Period(), false);
    const bool second = first && pass([&](std::span<const archive::TArhivRec> block) {
                            for (const archive::TArhivRec& record : block)
                                for (MotorDayCounter& counter : counters)
                                    counter.Add(record);
                        });
    for (std::size_t i = 0; i < counters.size(); ++i)
        out[i] = counters[i].Finish();
    return second;
}

} // namespace registrator::monitor
