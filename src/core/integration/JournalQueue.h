#pragma once

#include "integration/DayFileQueue.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace registrator::integration {

// The event journals of an archive folder read as one queue of lines, as DayFileQueue reads the day
// files. A place is a RecordKey whose index counts the event lines of that day's journal, 0 for the
// first after the header. Only lines already ended are read: one still being written waits.
class JournalQueue {
public:
    explicit JournalQueue(std::string folder) : folder_(std::move(folder)) {}

    struct Step {
        std::vector<std::pair<RecordKey, std::string>> Lines; // without their line ends
        std::optional<QueueGap> Gap;                          // before the lines, when there is one
        RecordKey Next;
    };

    // Up to `max` lines from `from` on. A day is left only once a later journal or day file exists, up
    // to `today`: the recorder begins the next day only after the last line of this one. A place ahead
    // of the files is said and left, as DayFileQueue does.
    Step Read(const RecordKey& from, std::size_t max, common::TDateTime today);
    // Whole lines from `from` to the end of the newest journal, as Read would go through them.
    std::uint64_t Waiting(const RecordKey& from, common::TDateTime today) const;

private:
    std::vector<common::TDateTime> Days() const;

    std::string folder_;
    RecordKey left_{-1, 0}; // where the last day this queue left ended
    // Where the last read ended, so that a growing journal is not read from its start each time.
    RecordKey known_{-1, 0};
    std::uint64_t knownOffset_ = 0;
};

} // namespace registrator::integration
