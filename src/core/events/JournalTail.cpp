#include "events/JournalTail.h"

#include "events/EventJournal.h"

namespace registrator::events {

void JournalTail::Follow(const std::string& path) {
    if (path != path_) {
        path_ = path;
        offset_ = 0;
        count_ = 0;
        lines_.clear();
    }
    for (JournalEntry& line : EventJournal::ReadFrom(path_, offset_)) {
        ++count_;
        lines_.push_back(std::move(line));
        if (lines_.size() > keep_)
            lines_.pop_front();
    }
}

} // namespace registrator::events
