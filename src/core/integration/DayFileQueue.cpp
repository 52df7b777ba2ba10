#include "integration/DayFileQueue.h"

#include "archive/ArchiveFile.h"
#include "archive/RecordFiles.h"
#include "common/AtomicFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>

namespace registrator::integration {

namespace fs = std::filesystem;

namespace {

std::string DayFile(common::TDateTime day) {
    return common::ArchiveDateText(day) + ".txt";
}

} // namespace

std::string DayFileQueue::PathOf(common::TDateTime day) const {
    return folder_ + DayFile(day);
}

std::vector<common::TDateTime> DaysWithFiles(const std::string& folder,
                                             std::initializer_list<std::string_view> suffixes) {
    std::vector<common::TDateTime> days;
    std::error_code error;
    for (fs::directory_iterator it(common::PathFromUtf8(folder), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
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

std::optional<common::TDateTime> DayFileQueue::NextDay(common::TDateTime after) const {
    for (const common::TDateTime day : Days())
        if (day > after)
            return day;
    return std::nullopt;
}

std::optional<common::TDateTime> DayFileQueue::NewestDay() const {
    const auto days = Days();
    if (days.empty())
        return std::nullopt;
    return days.back();
}

DayFileQueue::Step DayFileQueue::Read(const RecordKey& from, std::size_t max) {
    Step step;
    RecordKey key = from;
    // A few days without files or with nothing left are passed over in one call.
    for (int hops = 0; hops < 64; ++hops) {
        // Looked for before the size is taken: a record appended in between, and a later day begun
        // after it, must not make this day look finished without that record.
        const auto next = NextDay(key.Day);
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
        if (!next)
            break;
        step.Gap = GapLeavingDay(key, file.IsOpen(), whole, size % archive::kArhivRecSize != 0,
                                 {"day file", DayFile(key.Day), "record"});
        key = {*next, 0};
        if (step.Gap)
            break;
    }
    step.Next = key;
    return step;
}

std::optional<RecordGap> GapLeavingDay(const RecordKey& at, bool exists, std::uint64_t whole, bool torn,
                                       const DayFileNames& names) {
    if (!exists && at.Index > 0)
        return RecordGap{at, 0, "the " + names.File + " " + names.Name + " is gone"};
    if (at.Index > whole)
        return RecordGap{{at.Day, whole},
                         0,
                         names.Name + " holds fewer " + names.Item +
                             "s than were already sent; its end is not sent again"};
    if (torn)
        return RecordGap{at, 1, names.Name + " ends in a torn " + names.Item};
    return std::nullopt;
}

std::uint64_t DayFileQueue::Waiting(const RecordKey& from) const {
    std::uint64_t waiting = 0;
    for (const common::TDateTime day : Days()) {
        if (day < from.Day)
            continue;
        std::error_code error;
        const std::uint64_t size = fs::file_size(common::PathFromUtf8(PathOf(day)), error);
        const std::uint64_t whole = error ? 0 : size / archive::kArhivRecSize;
        waiting += day == from.Day ? (whole > from.Index ? whole - from.Index : 0) : whole;
    }
    return waiting;
}

std::optional<RecordKey> LoadPublishCursor(const std::string& path) {
    std::ifstream in(common::PathFromUtf8(path));
    // The cursor's number is plain digits, whatever locale the program was given.
    in.imbue(std::locale::classic());
    std::string day;
    std::uint64_t index = 0;
    if (!(in >> day >> index))
        return std::nullopt;
    const auto parsed = common::ArchiveDateValue(day);
    if (!parsed)
        return std::nullopt;
    return RecordKey{*parsed, index};
}

bool SavePublishCursor(const std::string& path, const RecordKey& next) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << common::ArchiveDateText(next.Day) << ' ' << next.Index << '\n';
    return common::ReplaceFileAtomically(common::PathFromUtf8(path), text.str()) ==
           common::ReplaceResult::Replaced;
}

} // namespace registrator::integration
