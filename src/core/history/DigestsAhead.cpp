#include "history/DigestsAhead.h"

#include <utility>

namespace registrator::history {

DigestsAhead::DigestsAhead(const ArchiveHistory& history, std::vector<Day> days, Need need)
    : history_(history), days_(std::move(days)), need_(need), turns_(days_.size(), Turn::Free) {
    if (days_.size() >= 2 && std::thread::hardware_concurrency() >= 2 && history_.KeepsDigests())
        thread_ = std::thread([this] { Run(); });
}

DigestsAhead::~DigestsAhead() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    if (thread_.joinable())
        thread_.join();
}

void DigestsAhead::Reach(std::size_t i) {
    std::unique_lock lock(mutex_);
    if (turns_[i] == Turn::Free) {
        turns_[i] = Turn::Reader;
        return;
    }
    made_.wait(lock, [&] { return turns_[i] != Turn::Making; });
}

std::size_t DigestsAhead::Built() {
    std::lock_guard lock(mutex_);
    return built_;
}

void DigestsAhead::Run() {
    Workspace work;
    const StopCheck going = [this] {
        std::lock_guard lock(mutex_);
        return !stopping_;
    };
    for (std::size_t i = days_.size(); i-- > 0;) {
        {
            std::lock_guard lock(mutex_);
            // Where the reader has got to, the rest is its own.
            if (stopping_ || turns_[i] != Turn::Free)
                return;
            turns_[i] = Turn::Making;
        }
        // A day that cannot be made is the reader's to find and say.
        const bool built = history_.Prepare(days_[i].Date, need_, days_[i].Growing, work, going).Built;
        {
            std::lock_guard lock(mutex_);
            turns_[i] = Turn::Made;
            built_ += built ? 1 : 0;
        }
        made_.notify_all();
    }
}

} // namespace registrator::history
