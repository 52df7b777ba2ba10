#pragma once

#include "channels/ChannelData.h"
#include "events/JournalEntry.h"
#include "monitor/DaySummaryCsv.h"

#include <array>
#include <optional>
#include <vector>

namespace registrator::monitor {

// What a day's journal says of one motor; a figure without a line to take it from stays empty.
struct JournalMotor {
    int Starts = 0;
    int LongStarts = 0;
    int Overloads = 0;
    std::optional<double> StartPeak;
    std::optional<double> LongestStart;
    std::optional<double> LongestOverload;
};

// Each motor's, by channel 1..72.
using JournalTally = std::array<JournalMotor, channels::kChannelCount + 1>;

// Starts, long starts and overloads from their lines; the other kinds, kinds a later version adds among
// them, are left out.
JournalTally TallyJournal(const std::vector<events::JournalEntry>& lines);

// The day summary's journal_ columns from a tally, which must outlive them; all empty without one (no
// journal of the day).
MoreSummaryColumns JournalSummaryColumns(const JournalTally* tally);

} // namespace registrator::monitor
