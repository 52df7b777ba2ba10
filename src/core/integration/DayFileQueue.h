#pragma once

#include "archive/ArchiveRecords.h"
#include "integration/MqttMessages.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace registrator::integration {

// Items of a queue (readings records, journal lines) that can never be had: the queue has gone past
// them and says so once, as the MQTT "gap" message.
struct QueueGap {
    RecordKey From;
    std::uint64_t Missing = 0; // 0 when not known
    std::string Reason;
};

// The day files of an archive folder read as one queue of records, day after day in date order,
// each file from its first record to its last whole one. The files stay as the recorder writes them;
// a place in the queue is a RecordKey, the record to be read next. `today` is the clock's day: the
// queue never goes on into a later one, whatever files a clock set wrong has left.
class DayFileQueue {
public:
    explicit DayFileQueue(std::string folder) : folder_(std::move(folder)) {}

    struct Step {
        std::vector<std::pair<RecordKey, archive::TArhivRec>> Records;
        std::optional<QueueGap> Gap; // before the records, when there is one
        RecordKey Next;              // where the next read goes on
    };

    // Up to `max` records from `from` on. A day is left for the next one only once the recorder has
    // begun a later day file, so the last records of a day are never passed while they may still come.
    // A place ahead of the files (see BackToToday and RestartDay) is said as a gap and left.
    Step Read(const RecordKey& from, std::size_t max, common::TDateTime today);
    // Whole records from `from` to the end of the newest day file, as Read would go through them.
    std::uint64_t Waiting(const RecordKey& from, common::TDateTime today) const;
    // The newest day file's day, or nothing when the folder has none.
    std::optional<common::TDateTime> NewestDay() const;

private:
    std::vector<common::TDateTime> Days() const;
    std::string PathOf(common::TDateTime day) const;

    std::string folder_;
    RecordKey left_{-1, 0}; // where the last day this queue left ended
};

// How a queue's files and what they hold are named in a gap's reason: "day file", ".txt", "record".
struct DayFileNames {
    std::string File, Suffix, Item;
    std::string NameOf(common::TDateTime day) const { return common::ArchiveDateText(day) + Suffix; }
};
// What is lost when a queue leaves the day `at` is in for the next: the file gone under it, fewer
// whole items in it (`whole`) than were already sent, or its end torn. Nothing when none is.
std::optional<QueueGap> GapLeavingDay(const RecordKey& at, bool exists, std::uint64_t whole, bool torn,
                                      const DayFileNames& names);

// The first of `days` (in date order) after `after`, if it is not after `today`.
std::optional<common::TDateTime> DayAfter(const std::vector<common::TDateTime>& days, common::TDateTime after,
                                          common::TDateTime today);
// A place at a day later than today, as a clock set forward and back leaves a cursor, is moved back to
// the newest of `days` up to today (today when none is): to where the queue left that day (`left`) if
// it did, else to its first item, since the recorder writes there again. The gap says so.
std::optional<QueueGap> BackToToday(RecordKey& at, common::TDateTime today,
                                    const std::vector<common::TDateTime>& days, const RecordKey& left,
                                    const DayFileNames& names);
// A place past the end of the newest day's file, which was deleted or cut and begun again while the
// recorder writes it (`exists`: it is there now): moved to its first item, so what it holds now is
// sent. The gap says so.
QueueGap RestartDay(RecordKey& at, bool exists, const DayFileNames& names);
// Items from `from` on as a queue reads them, `count` giving each of `days` its whole items.
std::uint64_t ItemsWaiting(RecordKey from, common::TDateTime today,
                           const std::vector<common::TDateTime>& days, const RecordKey& left,
                           const DayFileNames& names,
                           const std::function<std::uint64_t(common::TDateTime)>& count);

// The days of the folder's files named "DD.MM.YYYY" and one of `suffixes`, each once, in date order.
std::vector<common::TDateTime> DaysWithFiles(const std::string& folder,
                                             std::initializer_list<std::string_view> suffixes);

// The last record a broker acknowledged, kept as "DD.MM.YYYY N" (N: records of that day acknowledged,
// so the next to send). Written by replacing the file whole, so a kill leaves the old cursor or the new.
// A negative N loads as past any end, which the queue says and leaves.
std::optional<RecordKey> LoadPublishCursor(const std::string& path);
bool SavePublishCursor(const std::string& path, const RecordKey& next);

} // namespace registrator::integration
