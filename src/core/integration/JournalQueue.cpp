#include "integration/JournalQueue.h"

#include "common/Utf8Path.h"
#include "events/EventJournal.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace registrator::integration {

namespace {

const DayFileNames kNames{"journal", events::EventJournal::kFileSuffix, "line"};

} // namespace

std::vector<common::TDateTime> JournalQueue::Days() const {
    return DaysWithFiles(folder_, {".txt", events::EventJournal::kFileSuffix});
}

JournalQueue::Step JournalQueue::Read(const RecordKey& from, std::size_t max, common::TDateTime today) {
    Step step;
    RecordKey key = from;
    step.Gap = BackToToday(key, today, Days(), left_, kNames);
    for (int hops = 0; hops < 64 && !step.Gap; ++hops) {
        // Looked for before the file is read, so that a line appended meanwhile is not passed over.
        const auto next = DayAfter(Days(), key.Day, today);
        const std::string name = kNames.NameOf(key.Day);
        const std::filesystem::path path = common::PathFromUtf8(folder_ + name);
        std::error_code error;
        const std::uint64_t size = std::filesystem::file_size(path, error);
        const bool exists = !error;
        // Resumed where the last read ended, unless the file has since been cut below it.
        const bool resume = exists && key == known_ && size >= knownOffset_;
        std::string bytes;
        if (exists) {
            std::ifstream in(path, std::ios::binary);
            in.seekg(static_cast<std::streamoff>(resume ? knownOffset_ : 0));
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        std::size_t at = 0;
        std::uint64_t skipped = resume ? key.Index : 0;
        if (!resume && exists) {
            // The header, then the lines already sent.
            for (std::uint64_t line = 0; line <= key.Index; ++line) {
                const std::size_t end = bytes.find('\n', at);
                if (end == std::string::npos)
                    break;
                at = end + 1;
                skipped = line;
            }
        }
        while (skipped == key.Index && step.Lines.size() < max) {
            const std::size_t end = bytes.find('\n', at);
            if (end == std::string::npos)
                break;
            std::string line = bytes.substr(at, end - at);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            step.Lines.push_back({{key.Day, key.Index}, std::move(line)});
            ++key.Index;
            ++skipped;
            at = end + 1;
        }
        const bool ended = at == bytes.size(); // nothing after the last line end
        if (!step.Lines.empty()) {
            known_ = key;
            knownOffset_ = (resume ? knownOffset_ : 0) + at;
            break;
        }
        if (!next) {
            if (skipped < key.Index)
                step.Gap = RestartDay(key, exists, kNames);
            break;
        }
        step.Gap = GapLeavingDay(key, exists, skipped, !ended, kNames);
        left_ = key;
        key = {*next, 0};
    }
    step.Next = key;
    return step;
}

std::uint64_t JournalQueue::Waiting(const RecordKey& from, common::TDateTime today) const {
    return ItemsWaiting(from, today, Days(), left_, kNames, [this](common::TDateTime day) {
        return events::EventJournal::Read(folder_ + kNames.NameOf(day)).size();
    });
}

} // namespace registrator::integration
