#include "integration/DayFileQueue.h"

#include "archive/ArchiveFile.h"
#include "archive/RecordFiles.h"
#include "common/AtomicFile.h"
#include "common/Utf8Path.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <locale>
#include <sstream>

namespace registrator::integration {

namespace fs = std::filesystem;

namespace {

const DayFileNames kNames{"day file", ".txt", "record"};

} // namespace

std::string DayFileQueue::PathOf(common::TDateTime day) const {
    return folder_ + kNames.NameOf(day);
}

std::vector<common::TDateTime> DaysWithFiles(const std::string& folder,
                                             std::initializer_list<std::string_view> suffixes) {
    std::vector<common::TDateTime> days;
    std::error_code error;
    for (fs::directory_iterator it(common::PathFromUtf8(folder), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = common::Utf8FromPath(it->path().filename());
        // By the whole name: "DD.MM.YYYYUST.txt" snapshots are no day files.
        const bool named = std::any_of(suffixes.begin(), suffixes.end(), [&](std::string_view suffix) {
            return name.size() == 10 + suffix.size() && name.compare(10, suffix.size(), suffix) == 0;
        });
        if (!named)
            continue;
        if (const auto day = common::ArchiveDateValue(std::string_view(name).substr(0, 10)))
            days.push_back(*day);
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

std::vector<common::TDateTime> DayFileQueue::Days() const {
    return DaysWithFiles(folder_, {".txt"});
}

std::optional<common::TDateTime> DayFileQueue::NewestDay() const {
    const auto days = Days();
    if (days.empty())
        return std::nullopt;
    return days.back();
}

DayFileQueue::Step DayFileQueue::Read(const RecordKey& from, std::size_t max, common::TDateTime today) {
    Step step;
    RecordKey key = from;
    step.Gap = BackToToday(key, today, Days(), left_, kNames);
    // A few days without files or with nothing left are passed over in one call.
    for (int hops = 0; hops < 64 && !step.Gap; ++hops) {
        // Looked for before the size is taken: a record appended in between, and a later day begun
        // after it, must not make this day look finished without that record.
        const auto next = DayAfter(Days(), key.Day, today);
        archive::ArchiveFile file(PathOf(key.Day), archive::ArchiveFile::Mode::Read);
        const std::uint64_t size = file.IsOpen() ? file.Size().value_or(0) : 0;
        const std::uint64_t whole = size / archive::kArhivRecSize;
        if (file.IsOpen() && key.Index < whole) {
            const std::uint64_t count = std::min<std::uint64_t>(max, whole - key.Index);
            std::vector<archive::TArhivRec> records(static_cast<std::size_t>(count));
            if (!file.Seek(key.Index * archive::kArhivRecSize))
                break;
            const std::size_t got =
                file.Read(records.data(), records.size() * archive::kArhivRecSize) / archive::kArhivRecSize;
            for (std::size_t i = 0; i < got; ++i)
                step.Records.push_back({{key.Day, key.Index + i}, records[i]});
            key.Index += got;
            break;
        }
        // Nothing more in this day: go on only once a later day has begun.
        if (!next) {
            // Only a file that is read, or surely not there, is known to be shorter than the place.
            std::error_code error;
            const bool gone =
                !file.IsOpen() && !fs::exists(common::PathFromUtf8(PathOf(key.Day)), error) && !error;
            if (key.Index > whole && (file.IsOpen() || gone))
                step.Gap = RestartDay(key, !gone, kNames);
            break;
        }
        step.Gap = GapLeavingDay(key, file.IsOpen(), whole, size % archive::kArhivRecSize != 0, kNames);
        left_ = key;
        key = {*next, 0};
    }
    step.Next = key;
    return step;
}

std::optional<QueueGap> GapLeavingDay(const RecordKey& at, bool exists, std::uint64_t whole, bool torn,
                                      const DayFileNames& names) {
    const std::string name = names.NameOf(at.Day);
    if (!exists && at.Index > 0)
        return QueueGap{at, 0, "the " + names.File + " " + name + " is gone"};
    if (at.Index > whole)
        return QueueGap{{at.Day, whole},
                        0,
                        name + " holds fewer " + names.Item +
                            "s than were already sent; its end is not sent again"};
    if (torn)
        return QueueGap{at, 1, name + " ends in a torn " + names.Item};
    return std::nullopt;
}

std::optional<common::TDateTime> DayAfter(const std::vector<common::TDateTime>& days, common::TDateTime after,
                                          common::TDateTime today) {
    const auto it = std::upper_bound(days.begin(), days.end(), after);
    if (it == days.end() || *it > today)
        return std::nullopt;
    return *it;
}

std::optional<QueueGap> BackToToday(RecordKey& at, common::TDateTime today,
                                    const std::vector<common::TDateTime>& days, const RecordKey& left,
                                    const DayFileNames& names) {
    if (at.Day <= today)
        return std::nullopt;
    const auto newest = std::upper_bound(days.begin(), days.end(), today);
    const common::TDateTime day = newest == days.begin() ? today : *std::prev(newest);
    const std::string was = common::ArchiveDateText(at.Day);
    at = left.Day == day ? left : RecordKey{day, 0};
    return QueueGap{at, 0,
                    "the cursor is at " + was + ", a day the clock has not reached; sending goes on from " +
                        names.NameOf(day) + " " + names.Item + " " + std::to_string(at.Index)};
}

QueueGap RestartDay(RecordKey& at, bool exists, const DayFileNames& names) {
    at.Index = 0;
    const std::string name = names.NameOf(at.Day);
    return QueueGap{at, 0,
                    exists
                        ? name + " holds fewer " + names.Item +
                              "s than were already sent; it is sent again from its first " + names.Item
                        : "the " + names.File + " " + name + " is gone; what is written there again is sent"};
}

std::uint64_t ItemsWaiting(RecordKey from, common::TDateTime today,
                           const std::vector<common::TDateTime>& days, const RecordKey& left,
                           const DayFileNames& names,
                           const std::function<std::uint64_t(common::TDateTime)>& count) {
    BackToToday(from, today, days, left, names);
    std::uint64_t waiting = 0;
    for (const common::TDateTime day : days) {
        if (day < from.Day)
            continue;
        const std::uint64_t whole = count(day);
        // The newest day shorter than the place is sent again whole; a shorter day left is not.
        const std::uint64_t sent = day != from.Day              ? 0
                                   : from.Index <= whole        ? from.Index
                                   : DayAfter(days, day, today) ? whole
                                                                : 0;
        waiting += whole - sent;
    }
    return waiting;
}

std::uint64_t DayFileQueue::Waiting(const RecordKey& from, common::TDateTime today) const {
    return ItemsWaiting(from, today, Days(), left_, kNames, [this](common::TDateTime day) {
        std::error_code error;
        const std::uint64_t size = fs::file_size(common::PathFromUtf8(PathOf(day)), error);
        return error ? 0 : size / archive::kArhivRecSize;
    });
}

std::optional<RecordKey> LoadPublishCursor(const std::string& path) {
    std::ifstream in(common::PathFromUtf8(path));
    // The cursor's number is plain digits, whatever locale the program was given.
    in.imbue(std::locale::classic());
    std::string day;
    long long index = 0;
    if (!(in >> day >> index))
        return std::nullopt;
    const auto parsed = common::ArchiveDateValue(day);
    if (!parsed)
        return std::nullopt;
    return RecordKey{*parsed, index < 0 ? std::numeric_limits<std::uint64_t>::max()
                                        : static_cast<std::uint64_t>(index)};
}

bool SavePublishCursor(const std::string& path, const RecordKey& next) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << common::ArchiveDateText(next.Day) << ' ' << next.Index << '\n';
    return common::ReplaceFileAtomically(common::PathFromUtf8(path), text.str()) ==
           common::ReplaceResult::Replaced;
}

} // namespace registrator::integration
