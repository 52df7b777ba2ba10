#pragma once

#include "archive/ArchiveRecords.h"
#include "channels/ChannelData.h"

#include <cstddef>
#include <span>
#include <vector>

namespace registrator::monitor {

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
    double NoDataSeconds = 0; // gaps between records, beyond what the records cover
    int Starts = 0;           // switched off, then any other state at the next record
    double Peak = 0;
    double PeakTime = 0;
    std::vector<OverloadEpisode> Overloads;
};

// Each record stands for the time until the next one. When the next one is further than three typical
// periods away (the median spacing of the day; 1 s for a day of fewer than two records), or there is
// none, the record stands for one typical period and the rest is a gap. A reading exactly on a
// threshold keeps the state before it, as the panel keeps its colour; none before counts as off.
MotorDaySummary SummarizeMotorDay(std::span<const archive::TArhivRec> records, int channel,
                                  const channels::TUstavka& settings);

// The thresholds of a day's snapshot record, with the switch-off current, which snapshots do not keep,
// from `present`.
channels::TUstavka ThresholdsOfDay(const archive::TUstRec& snapshot, const channels::TUstavka& present);

// Every motor the day's snapshot holds (entry k - 1 for channel k) with its name and thresholds of that
// day; the rest, and every switch-off current, as `present` has them.
channels::UstavkiTable MotorsOfDay(std::span<const archive::TUstRec> snapshot,
                                   const channels::UstavkiTable& present);

} // namespace registrator::monitor
