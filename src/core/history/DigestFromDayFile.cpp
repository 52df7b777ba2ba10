#include "archive/ArchiveFile.h"
#include "history/DigestBuilder.h"
#include "monitor/DaySummary.h"

#include <algorithm>

namespace registrator::history {

namespace {

// Records per read: about 256 KB, so that a block is worked through while it is still in the cache.
constexpr std::size_t kBlockRecords = 448;
// One record a second, with room for a clock set back several times: more than this is no day file
// (a damaged or foreign one), and its digest would hold every record's time in memory.
constexpr std::uint64_t kMostDayRecords = 4 * 86400;

} // namespace

BuildOutcome BuildDigest(const std::string& dayPath, const channels::UstavkiTable& motors, DigestKind kind,
                         DayDigest& into, DigestBuilder& builder, const StopCheck& stop,
                         archive::ArchiveFile::Links links) {
    BuildOutcome out;
    archive::ArchiveFile file(dayPath, archive::ArchiveFile::Mode::Read, links);
    const auto size = file.IsOpen() ? file.Size() : std::nullopt;
    if (!size) {
        out.Error = file.Error();
        return out;
    }
    const std::uint64_t records = *size / sizeof(archive::TArhivRec);
    if (records == 0)
        return out;
    if (records > kMostDayRecords) {
        out.Error = "more records than four days hold: not a day file";
        return out;
    }

    const std::span<archive::TArhivRec> block = builder.Block(kBlockRecords);
    // A growing day: its last minute is left to the readers, who read it from the file as it grows.
    std::uint64_t covered = records;
    std::optional<double> next;
    if (kind == DigestKind::FinishedMinutes) {
        const std::uint64_t from = records - std::min<std::uint64_t>(records, kBlockRecords);
        const auto count = static_cast<std::size_t>(records - from);
        if (!file.Seek(from * sizeof(archive::TArhivRec)) ||
            file.Read(block.data(), count * sizeof(archive::TArhivRec)) !=
                count * sizeof(archive::TArhivRec)) {
            out.Error = file.Error().empty() ? "file shrank while being read" : file.Error();
            return out;
        }
        std::optional<int> lastMinute;
        std::size_t i = count;
        while (i > 0) {
            const double time = block[i - 1].Time;
            if (monitor::IsTimeOfDay(time)) {
                if (lastMinute && MinuteOf(time) != *lastMinute)
                    break;
                lastMinute = MinuteOf(time);
                next = time;
            }
            --i;
        }
        if (i > 0 && lastMinute)
            covered = from + i;
        else
            next.reset(); // one minute or less, or no time at all: the whole file
        if (covered == records)
            kind = DigestKind::WholeDay;
        if (!file.Seek(0)) {
            out.Error = file.Error();
            return out;
        }
    }

    builder.Reset(motors);
    builder.Reserve(covered);
    archive::TArhivRec first{};
    archive::TArhivRec last{};
    for (std::uint64_t done = 0; done < covered;) {
        if (stop && !stop()) {
            out.Stopped = true;
            return out;
        }
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(covered - done, kBlockRecords));
        const std::size_t got = file.Read(block.data(), want * sizeof(archive::TArhivRec));
        if (got != want * sizeof(archive::TArhivRec)) {
            out.Error = file.Error().empty() ? "file shrank while being read" : file.Error();
            return out;
        }
        if (done == 0)
            first = block[0];
        last = block[want - 1];
        builder.Add(block.first(want));
        done += want;
    }
    builder.Finish(std::nullopt, next, into);
    DigestHeader& h = into.Header;
    h.Kind = static_cast<std::uint32_t>(kind);
    h.SourceBytes = *size;
    h.CoveredRecords = covered;
    h.Identity = IdentityOf(covered, first, last);
    SealDigest(into);
    out.Built = true;
    return out;
}

} // namespace registrator::history
