#pragma once

#include "archive/ArchiveRecords.h"
#include "integration/MqttMessages.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace registrator::integration {

// Records that can never be had: the queue has gone past them and says so once.
struct RecordGap {
    RecordKey From;
    std::uint64_t Missing = 0; // 0 when not known
    std::string Reason;
};

// The day files of an archive folder read as one queue of records, day after day in date order,
// each file from its first record to its last whole one. The files stay as the recorder writes them;
// a place in the queue is a RecordKey, the record to be read next.
class DayFileQueue {
public:
    explicit DayFileQueue(std::string folder) : folder_(std::move(folder)) {}

    struct Step {
        std::vector<std::pair<RecordKey, archive::TArhivRec>> Records;
        std::optional<RecordGap> Gap; // before the records, when there is one
        RecordKey Next;               // where the next read goes on
    };

    // Up to `max` records from `from` on. A day is left for the next one only once the recorder has
    // begun a later day file, so the last records of a day are never passed while they may still come.
    Step Read(const RecordKey& from, std::size_t max);
    // Whole records from `from` to the end of the newest day file.
    std::uint64_t Waiting(const RecordKey& from) const;
    // The newest day file's day, or nothing when the folder has none.
    std::optional<common::TDateTime> NewestDay() const;

private:
    // The first day after `after` that has a day file.
    std::optional<common::TDateTime> NextDay(common::TDateTime after) const;
    std::vector<common::TDateTime> Days() const;
    std::string PathOf(common::TDateTime day) const;

    std::string folder_;
};

// How a queue's files and what they hold are named in a gap's reason: "day file", "09.12.2026.txt",
// "record".
struct DayFileNames {
    std::string File, Name, Item;
};
// What is lost when a queue leaves the day `at` is in for the next: the file gone under it, fewer
// whole items in it (`whole`) than were already sent, or its end torn. Nothing when none is.
std::optional<RecordGap> GapLeavingDay(const RecordKey& at, bool exists, std::uint64_t whole, bool torn,
                                       const DayFileNames& names);

// The days of the folder's files named "DD.MM.YYYY" and one of `suffixes`, each once, in date order.
std::vector<common::TDateTime> DaysWithFiles(const std::string& folder,
                                             std::initializer_list<std::string_view> suffixes);

// The last record a broker acknowledged, kept as "DD.MM.YYYY N" (N: records of that day acknowledged,
// so the next to send). Written by replacing the file whole, so a kill leaves the old cursor or the new.
std::optional<RecordKey> LoadPublishCursor(const std::string& path);
bool SavePublishCursor(const std::string& path, const RecordKey& next);

} // namespace registrator::integration
