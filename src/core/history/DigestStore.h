#pragma once

#include "archive/ArchiveFile.h"
#include "common/DateTime.h"
#include "history/DigestBuilder.h"
#include "monitor/DaySummary.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace registrator::history {

// How far a long piece of work has come: days done of the days it takes. Return false to stop it. While
// a day's digest is being made it is asked again every few megabytes read, so that a stop is quick.
struct Progress {
    std::size_t Done = 0;
    std::size_t Total = 0;
    common::TDateTime Day = 0; // the day being worked on
    bool Building = false;     // that day's digest is being made
};
using ProgressCallback = std::function<bool(const Progress&)>;

// The stop check that BuildDigest asks between blocks, reporting `step` as a day being made.
StopCheck BuildingStep(const ProgressCallback& progress, Progress step);

// What a reader needs of a digest: the band only (charts), or the seconds too (reports), which are
// stale once the day's thresholds have changed.
enum class Need { Band, Seconds };

// The memory a reader keeps from one day to the next (about 11 MB once a digest has been made).
struct Workspace {
    DigestBuilder Builder;
    DayDigest Built;
    DayDigest Tail;
};

class ArchiveHistory;

// One day of digest, as a reader sees it: read from its file a channel at a time, or made just now,
// with the records after a growing day's digest read from the day file. Valid until the workspace
// it was opened with opens another day.
class DayView {
public:
    const DigestHeader& Header() const { return header_; }
    // A growing day's last records, read from its file after the digest.
    bool HasTail() const { return tail_ != nullptr; }
    // The channel's minutes (with the tail) or hours (never for a day with a tail). False when the file
    // lies: the caller makes the digest anew (ArchiveHistory::OpenDay with `rebuild`).
    bool Minutes(int channel, std::vector<DigestEntry>& out);
    bool Hours(int channel, std::vector<DigestEntry>& out);

private:
    friend class ArchiveHistory;
    bool ReadBlock(int channel, bool minutes, std::vector<DigestEntry>& out);
    // From `digest` when given, else from the file.
    bool ReadBlockOf(const DigestHeader& header, const DayDigest* digest, int channel, bool minutes,
                     std::span<DigestEntry> out);

    DigestHeader header_;
    std::optional<archive::ArchiveFile> file_; // the digest's file, when read from one
    std::string bytes_;                        // a block as read from it
    std::vector<DigestEntry> tailMinutes_;
    const DayDigest* built_ = nullptr; // the digest made just now
    const DayDigest* tail_ = nullptr;
};

// The archive folder's history: its day files, their digests in Data/digest/, and the rules that say
// when a digest may be believed. Holds no state that changes: one object serves any number of threads,
// each with its own Workspace.
class ArchiveHistory {
public:
    // `folder`: the archive folder (with or without its trailing separator). `present`: the settings in
    // force, for the motors a day's snapshot does not hold and for every switch-off current. `links`:
    // Refuse for what is served to other computers: no file that is a symbolic link, nor a digest
    // folder that is one, is then read or written, so nothing outside the archive folder is reached.
    ArchiveHistory(std::string folder, const channels::UstavkiTable& present,
                   monitor::ThresholdSource presentSource = monitor::ThresholdSource::PresentSettings,
                   archive::ArchiveFile::Links links = archive::ArchiveFile::Links::Follow);

    const std::string& Folder() const { return folder_; }
    std::string DayPath(common::TDateTime day) const;
    std::string SnapshotPath(common::TDateTime day) const;
    std::string DigestPath(common::TDateTime day) const;
    std::string DigestFolder() const;
    // The days with a day file, in date order.
    std::vector<common::TDateTime> Days() const;
    // The day's motors by the one rule of the day summary: its snapshot, else the present settings.
    monitor::DayMotors MotorsOf(common::TDateTime day) const;
    const channels::UstavkiTable& Present() const { return present_; }
    archive::ArchiveFile::Links LinkPolicy() const { return links_; }

    struct Opened {
        std::optional<DayView> View; // none: no day file, no whole record, or it cannot be read
        bool Built = false;          // the digest was made (and saved where the folder allows)
        bool Stopped = false;        // `stop` said so while it was being made
        std::string Error;
    };
    // The day's digest, made anew (and saved) when missing, stale, torn, of another version or
    // unreadable, or when `rebuild`. `growing`: the day file may still grow (the newest day).
    Opened OpenDay(common::TDateTime day, Need need, bool growing, Workspace& work, bool rebuild = false,
                   const StopCheck& stop = {}) const;

    struct BuildAllResult {
        std::size_t Days = 0;
        std::size_t Built = 0;
        std::vector<std::string> Failures; // "DD.MM.YYYY.txt: reason"
        bool Stopped = false;
    };
    // Makes every missing or stale digest of the folder ahead of time, one read of each day file, on
    // two threads where there are two cores.
    BuildAllResult BuildAll(const ProgressCallback& progress = {}) const;
    // The day's digest made and saved where it is missing or stale, with no view of it.
    Opened Prepare(common::TDateTime day, Need need, bool growing, Workspace& work,
                   const StopCheck& stop = {}) const {
        return Open(day, need, growing, work, false, stop, false);
    }
    // Whether digests made are kept for the next reader (see `links`).
    bool KeepsDigests() const { return DigestFolderUsable(); }

private:
    // OpenDay, or with `view` false only the digest made where need be, no view of it.
    Opened Open(common::TDateTime day, Need need, bool growing, Workspace& work, bool rebuild,
                const StopCheck& stop, bool view) const;
    // Whether the digest file may be believed for the day file as it is now; its tail length.
    std::optional<std::uint64_t> Believe(const DigestHeader& header, common::TDateTime day, Need need,
                                         bool growing, std::uint64_t& dayBytes) const;
    bool ReadTail(common::TDateTime day, const DigestHeader& header, Workspace& work,
                  std::string& error) const;
    void Save(common::TDateTime day, const DayDigest& digest) const;
    // Whether digests may be read from and written to their folder under the link policy.
    bool DigestFolderUsable() const;

    std::string folder_;
    channels::UstavkiTable present_;
    monitor::ThresholdSource presentSource_;
    archive::ArchiveFile::Links links_;
};

// The motors a digest counted with: its thresholds into a table.
channels::UstavkiTable MotorsOfDigest(const DigestHeader& header);

} // namespace registrator::history
