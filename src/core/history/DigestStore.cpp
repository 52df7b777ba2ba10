#include "history/DigestStore.h"

#include "archive/RecordFiles.h"
#include "common/AtomicFile.h"
#include "history/DigestsAhead.h"
#include "integration/DayFileQueue.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>

namespace registrator::history {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRecord = sizeof(archive::TArhivRec);

bool ReadAt(archive::ArchiveFile& file, std::uint64_t offset, void* into, std::size_t bytes) {
    return file.Seek(offset) && file.Read(into, bytes) == bytes;
}

// A name no other process or thread writes to, so that two makers of one digest never share a file.
std::string UniqueSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t process =
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return "." + std::to_string(process % 1000000007) + "-" + std::to_string(++counter);
}

} // namespace

StopCheck BuildingStep(const ProgressCallback& progress, Progress step) {
    if (!progress)
        return {};
    step.Building = true;
    // Every 16 blocks of about 256 KB.
    return
        [progress, step, blocks = std::size_t{0}]() mutable { return blocks++ % 16 != 0 || progress(step); };
}

channels::UstavkiTable MotorsOfDigest(const DigestHeader& header) {
    channels::UstavkiTable motors;
    for (int n = 1; n <= kChannels; ++n) {
        const DigestThresholds& t = header.Thresholds[n - 1];
        motors[n].Oborot = static_cast<std::int32_t>(t.Oborot);
        motors[n].T_Nom = t.T_Nom;
        motors[n].T_Max = t.T_Max;
    }
    return motors;
}

bool DayView::ReadBlock(int channel, bool minutes, std::vector<DigestEntry>& out) {
    out.resize(minutes ? kMinutesPerDay : kHoursPerDay);
    return ReadBlockOf(built_ ? built_->Header : header_, built_, channel, minutes, out);
}

bool DayView::ReadBlockOf(const DigestHeader& header, const DayDigest* digest, int channel, bool minutes,
                          std::span<DigestEntry> out) {
    const BlockPart part = minutes ? MinutesPart(header, channel) : HoursPart(header, channel);
    std::string_view bytes;
    if (digest) {
        bytes = std::string_view(digest->Bytes).substr(part.Offset, part.Bytes);
    } else {
        bytes_.resize(part.Bytes);
        if (!ReadAt(*file_, part.Offset, bytes_.data(), part.Bytes))
            return false;
        bytes = bytes_;
    }
    return minutes ? ReadMinutes(header, channel, bytes, out) : ReadHours(header, channel, bytes, out);
}

bool DayView::Minutes(int channel, std::vector<DigestEntry>& out) {
    if (!ReadBlock(channel, true, out))
        return false;
    if (tail_) {
        tailMinutes_.resize(kMinutesPerDay);
        if (!ReadBlockOf(tail_->Header, tail_, channel, true, tailMinutes_))
            return false;
        for (std::size_t m = 0; m < kMinutesPerDay; ++m)
            Merge(out[m], tailMinutes_[m]);
    }
    return true;
}

bool DayView::Hours(int channel, std::vector<DigestEntry>& out) {
    return !tail_ && ReadBlock(channel, false, out);
}

ArchiveHistory::ArchiveHistory(std::string folder, const channels::UstavkiTable& present,
                               monitor::ThresholdSource presentSource, archive::ArchiveFile::Links links)
    : folder_(std::move(folder)), present_(present), presentSource_(presentSource), links_(links) {
    if (!folder_.empty() && folder_.back() != '/' && folder_.back() != '\\')
        folder_ += '/';
}

std::string ArchiveHistory::DayPath(common::TDateTime day) const {
    return folder_ + common::ArchiveDateText(day) + ".txt";
}

std::string ArchiveHistory::SnapshotPath(common::TDateTime day) const {
    return folder_ + common::ArchiveDateText(day) + "UST.txt";
}

std::string ArchiveHistory::DigestFolder() const {
    return folder_ + "digest/";
}

std::string ArchiveHistory::DigestPath(common::TDateTime day) const {
    return DigestFolder() + common::ArchiveDateText(day) + ".digest";
}

std::vector<common::TDateTime> ArchiveHistory::Days() const {
    return integration::DaysWithFiles(folder_, {".txt"});
}

monitor::DayMotors ArchiveHistory::MotorsOf(common::TDateTime day) const {
    std::vector<archive::TUstRec> snapshot(archive::kUstRecCount);
    const archive::RecordFileRead read = archive::ReadSnapshotFile(SnapshotPath(day), snapshot, links_);
    return monitor::MotorsOfDay(std::span(snapshot.data(), read.Records), present_, presentSource_);
}

std::optional<std::uint64_t> ArchiveHistory::Believe(const DigestHeader& h, common::TDateTime day, Need need,
                                                     bool growing, std::uint64_t& dayBytes) const {
    archive::ArchiveFile dayFile(DayPath(day), archive::ArchiveFile::Mode::Read, links_);
    const auto size = dayFile.IsOpen() ? dayFile.Size() : std::nullopt;
    if (!size)
        return std::nullopt;
    dayBytes = *size;
    const std::uint64_t records = *size / kRecord;
    const auto kind = static_cast<DigestKind>(h.Kind);
    if (records < h.CoveredRecords || (kind == DigestKind::WholeDay && *size != h.SourceBytes))
        return std::nullopt;
    // A finished day is counted whole, with its own typical period, as the day summary counts it.
    if (kind == DigestKind::FinishedMinutes && (!growing || records - h.CoveredRecords > kLongestTail))
        return std::nullopt;
    archive::TArhivRec first;
    archive::TArhivRec last;
    if (!ReadAt(dayFile, 0, &first, kRecord) ||
        !ReadAt(dayFile, (h.CoveredRecords - 1) * kRecord, &last, kRecord) ||
        IdentityOf(h.CoveredRecords, first, last) != h.Identity)
        return std::nullopt;
    if (need == Need::Seconds) {
        const monitor::DayMotors motors = MotorsOf(day);
        for (int n = 1; n <= kChannels; ++n)
            if (!(ThresholdsOf(motors.Motors[n]) == h.Thresholds[n - 1]))
                return std::nullopt;
    }
    return records - h.CoveredRecords;
}

bool ArchiveHistory::ReadTail(common::TDateTime day, const DigestHeader& h, Workspace& work,
                              std::string& error) const {
    archive::ArchiveFile dayFile(DayPath(day), archive::ArchiveFile::Mode::Read, links_);
    const auto size = dayFile.IsOpen() ? dayFile.Size() : std::nullopt;
    if (!size || !dayFile.Seek(h.CoveredRecords * kRecord)) {
        error = dayFile.Error();
        return false;
    }
    work.Builder.Reset(MotorsOfDigest(h), h.LastLevel);
    const std::span<archive::TArhivRec> block = work.Builder.Block(512);
    for (std::uint64_t left = *size / kRecord - h.CoveredRecords; left > 0;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        if (dayFile.Read(block.data(), want * kRecord) != want * kRecord) {
            error = dayFile.Error().empty() ? "file shrank while being read" : dayFile.Error();
            return false;
        }
        work.Builder.Add(block.first(want));
        left -= want;
    }
    work.Builder.Finish(h.Period, std::nullopt, work.Tail);
    SealDigest(work.Tail);
    return true;
}

bool ArchiveHistory::DigestFolderUsable() const {
    if (links_ == archive::ArchiveFile::Links::Follow)
        return true;
    std::error_code error;
    const fs::path folder = common::PathFromUtf8(folder_ + "digest");
    return !fs::is_symlink(fs::symlink_status(folder, error));
}

void ArchiveHistory::Save(common::TDateTime day, const DayDigest& digest) const {
    // A cache: a folder that cannot be written only means the next reader makes it again.
    if (!DigestFolderUsable())
        return;
    std::error_code ignored;
    fs::create_directories(common::PathFromUtf8(DigestFolder()), ignored);
    const fs::path target = common::PathFromUtf8(DigestPath(day));
    fs::path own = target;
    own += UniqueSuffix();
    // Not flushed to disk: a digest that a power cut tears is made again like a missing one.
    if (common::ReplaceFileAtomically(own, digest.Bytes, {}, nullptr, common::Durability::Cached) !=
        common::ReplaceResult::Replaced)
        return;
    // Whole before it takes the digest's name; two makers at once leave one or the other whole.
    fs::rename(own, target, ignored);
    if (ignored)
        fs::remove(own, ignored);
}

ArchiveHistory::Opened ArchiveHistory::OpenDay(common::TDateTime day, Need need, bool growing,
                                               Workspace& work, bool rebuild, const StopCheck& stop) const {
    return Open(day, need, growing, work, rebuild, stop, true);
}

ArchiveHistory::Opened ArchiveHistory::Open(common::TDateTime day, Need need, bool growing, Workspace& work,
                                            bool rebuild, const StopCheck& stop, bool view) const {
    Opened out;
    std::uint64_t dayBytes = 0;
    if (!rebuild && DigestFolderUsable()) {
        archive::ArchiveFile file(DigestPath(day), archive::ArchiveFile::Mode::Read, links_);
        DigestHeader header;
        const auto size = file.IsOpen() ? file.Size() : std::nullopt;
        if (size && ReadAt(file, 0, &header, sizeof header) && HeaderHolds(header) &&
            *size == header.FileBytes) {
            if (const auto tail = Believe(header, day, need, growing, dayBytes)) {
                if (!view)
                    return out;
                DayView opened;
                opened.header_ = header;
                opened.file_.emplace(std::move(file));
                if (*tail > 0) {
                    if (!ReadTail(day, header, work, out.Error))
                        return out;
                    opened.tail_ = &work.Tail;
                }
                out.View = std::move(opened);
                return out;
            }
        }
    }

    const monitor::DayMotors motors = MotorsOf(day);
    const BuildOutcome made =
        BuildDigest(DayPath(day), motors.Motors, growing ? DigestKind::FinishedMinutes : DigestKind::WholeDay,
                    work.Built, work.Builder, stop, links_);
    if (!made.Built) {
        out.Error = made.Error;
        out.Stopped = made.Stopped;
        return out;
    }
    Save(day, work.Built);
    out.Built = true;
    if (!view)
        return out;
    DayView opened;
    opened.header_ = work.Built.Header;
    opened.built_ = &work.Built;
    if (opened.header_.Kind == static_cast<std::uint32_t>(DigestKind::FinishedMinutes)) {
        if (!ReadTail(day, opened.header_, work, out.Error))
            return out;
        opened.tail_ = &work.Tail;
    }
    out.View = std::move(opened);
    return out;
}

ArchiveHistory::BuildAllResult ArchiveHistory::BuildAll(const ProgressCallback& progress) const {
    BuildAllResult result;
    const std::vector<common::TDateTime> days = Days();
    result.Days = days.size();
    std::vector<DigestsAhead::Day> all;
    for (std::size_t i = 0; i < days.size(); ++i)
        all.push_back({days[i], i + 1 == days.size()});
    DigestsAhead ahead(*this, std::move(all), Need::Seconds);
    Workspace work;
    for (std::size_t i = 0; i < days.size(); ++i) {
        Progress step{i, days.size(), days[i], false};
        if (progress && !progress(step)) {
            result.Stopped = true;
            return result;
        }
        ahead.Reach(i);
        // Made or believed; the growing day's last minutes are read by whoever shows it.
        const Opened opened = Open(days[i], Need::Seconds, i + 1 == days.size(), work, false,
                                   BuildingStep(progress, step), false);
        if (opened.Built)
            ++result.Built;
        if (opened.Stopped) {
            result.Stopped = true;
            return result;
        }
        if (!opened.Error.empty())
            result.Failures.push_back(common::ArchiveDateText(days[i]) + ".txt: " + opened.Error);
    }
    result.Built += ahead.Built();
    if (progress)
        progress({days.size(), days.size(), days.empty() ? 0 : days.back(), false});
    return result;
}

} // namespace registrator::history
