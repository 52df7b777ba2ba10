#pragma once

#include "events/JournalEntry.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace registrator::events {

// The newest lines of a day's journal, followed as the file grows: what a page shows of today without
// reading the whole day at every look. A new path (the day changed) starts over.
class JournalTail {
public:
    explicit JournalTail(std::size_t keep) : keep_(keep) {}

    void Follow(const std::string& path);
    // Oldest first.
    const std::deque<JournalEntry>& Lines() const { return lines_; }
    // Every line of the day read so far, the ones let go included.
    std::uint64_t Count() const { return count_; }

private:
    std::size_t keep_;
    std::string path_;
    std::uint64_t offset_ = 0;
    std::uint64_t count_ = 0;
    std::deque<JournalEntry> lines_;
};

} // namespace registrator::events
