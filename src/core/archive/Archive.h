#pragma once

#include "archive/ArchiveRecords.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/OperatorMessages.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace registrator::archive {

// Why the last append to the readings file failed.
enum class AppendFailure { None, NoFolder, DiskFull, NoPermission, FileTooLarge, Other };

// How the appends have gone so far, for the operator's status line. Appends stay silent; this only counts.
struct AppendStatus {
    common::TDateTime Day = 0;      // day of the last append tried
    std::uint64_t RecordsToday = 0; // whole records in that day's file after its last good append
    std::uint64_t Failures = 0;     // failed appends since the last good one
    AppendFailure Failure = AppendFailure::None;
    std::string SystemText; // the system's words for an Other failure
};

// How the day's settings snapshot stands. One that could not be written is tried again at every slow
// tick until it is, for as long as its day lasts.
struct SnapshotStatus {
    common::TDateTime PendingDay = 0; // the day whose snapshot is still to be written; 0 when none is
    bool KeepExisting = false;        // the write waiting must not replace a snapshot already there
    AppendFailure Failure = AppendFailure::None;
    std::string SystemText;
};

// The day files under the archive folder ("Data/" relative to the working directory) and the
// tables the viewer shows. Writers are silent; readers tell the operator about a missing or empty file.
class Archive {
public:
    Archive(std::string folder, const common::Clock& clock, common::OperatorMessages& messages);

    // "Data/" + dd.MM.yyyy + ".txt" and + "UST.txt".
    std::string ReadingsPath(const std::string& dateText) const;
    std::string SnapshotPath(const std::string& dateText) const;
    const std::string& Folder() const { return folder_; }
    const AppendStatus& Status() const { return status_; }
    const SnapshotStatus& Snapshot() const { return snapshot_; }

    void WriteArhiv(const channels::ChannelData& data);
    // Today's snapshot from the live settings, replacing one written earlier today. False when it could
    // not be written; RetryUst then tries again.
    bool WriteUst(const channels::UstavkiTable& ustavki);
    // Today's snapshot when the day has none yet (a station switched on every morning); one that is
    // there, even one that cannot be read, is never replaced.
    void EnsureUst(const channels::UstavkiTable& ustavki);
    // The snapshot still to be written, if any, at a slow tick.
    void RetryUst(const channels::UstavkiTable& ustavki);
    void ReadArhiv(const std::string& dateText);
    // "no" reads today's snapshot.
    void ReadUst(const std::string& dateText);

    // ArhivBuf[k - 1] holds the k-th record of the last loaded day; ArhivCount of them are valid.
    std::vector<TArhivRec> ArhivBuf;
    std::uint32_t ArhivCount = 0;
    // UstBuf[k - 1] belongs to channel k.
    std::array<TUstRec, 72> UstBuf{};

    // Which day the tables hold, as date texts: ArhivBuf the day of the last ReadArhiv that opened its
    // file; UstBuf's first UstRecords entries the day of the last snapshot read or written. Empty before.
    std::string ArhivDay;
    std::string UstDay;
    std::size_t UstRecords = 0;

private:
    std::string folder_;
    const common::Clock& clock_;
    common::OperatorMessages& messages_;
    bool WriteToday(const channels::UstavkiTable& ustavki, bool keepExisting);

    AppendStatus status_;
    SnapshotStatus snapshot_;
};

} // namespace registrator::archive
