#include "history/DayRecords.h"

#include "archive/ArchiveFile.h"
#include "monitor/DaySummary.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace registrator::history {

namespace {

constexpr std::size_t kRecord = sizeof(archive::TArhivRec);
constexpr std::size_t kBlock = 448;
// Records looked at past a probe that has no time of day, before it counts as the end of its run.
constexpr std::size_t kProbeSpan = 16;

std::int64_t MsOfDay(double time) {
    return std::llround(time * 86400000.0);
}

class RangeReader {
public:
    RangeReader(archive::ArchiveFile& file, std::int64_t from, std::int64_t to, const RecordVisitor& visit)
        : file_(file), from_(from), to_(to), visit_(visit), block_(kBlock) {}

    // The first record of [begin, end) with a time of day at or after `from`, times rising.
    std::optional<std::uint64_t> LowerBound(std::uint64_t begin, std::uint64_t end) {
        while (begin < end) {
            const std::uint64_t mid = begin + (end - begin) / 2;
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kProbeSpan, end - mid));
            if (!file_.Seek(mid * kRecord) || file_.Read(block_.data(), want * kRecord) != want * kRecord)
                return std::nullopt;
            std::optional<std::int64_t> time;
            for (std::size_t i = 0; i < want && !time; ++i)
                if (monitor::IsTimeOfDay(block_[i].Time))
                    time = MsOfDay(block_[i].Time);
            if (time && *time < from_)
                begin = mid + 1;
            else
                end = mid;
        }
        return begin;
    }

    // Records [begin, end) handed on when in range; with `sorted`, the first one at or after `to`
    // ends the run. False on a read failure; `stopped_` when the visitor said so.
    bool Through(std::uint64_t begin, std::uint64_t end, bool sorted) {
        if (!file_.Seek(begin * kRecord))
            return false;
        while (begin < end && !stopped_) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, end - begin));
            if (file_.Read(block_.data(), want * kRecord) != want * kRecord)
                return false;
            std::size_t kept = 0;
            bool past = false;
            for (std::size_t i = 0; i < want; ++i) {
                if (!monitor::IsTimeOfDay(block_[i].Time))
                    continue;
                const std::int64_t t = MsOfDay(block_[i].Time);
                if (sorted && t >= to_) {
                    past = true;
                    break;
                }
                if (t >= from_ && t < to_)
                    block_[kept++] = block_[i];
            }
            if (kept > 0 && !visit_(std::span(block_.data(), kept)))
                stopped_ = true;
            if (past)
                break;
            begin += want;
        }
        return true;
    }

    bool Stopped() const { return stopped_; }

private:
    archive::ArchiveFile& file_;
    std::int64_t from_;
    std::int64_t to_;
    const RecordVisitor& visit_;
    std::vector<archive::TArhivRec> block_;
    bool stopped_ = false;
};

} // namespace

bool ReadRecordsBetween(const std::string& dayPath, const DigestHeader* header, std::int64_t from,
                        std::int64_t to, const RecordVisitor& visit, std::string& error,
                        archive::ArchiveFile::Links links) {
    archive::ArchiveFile file(dayPath, archive::ArchiveFile::Mode::Read, links);
    const auto size = file.IsOpen() ? file.Size() : std::nullopt;
    if (!size) {
        error = file.Error();
        return false;
    }
    const std::uint64_t records = *size / kRecord;
    RangeReader reader(file, from, to, visit);
    const auto fail = [&] {
        error = file.Error().empty() ? "file shrank while being read" : file.Error();
        return false;
    };
    std::uint64_t readThrough = 0; // where reading every record begins
    if (header && header->RunCount > 0 && header->CoveredRecords <= records) {
        for (std::uint32_t r = 0; r < header->RunCount && !reader.Stopped(); ++r) {
            const std::uint64_t begin = header->RunStarts[r];
            const std::uint64_t end =
                r + 1 < header->RunCount ? header->RunStarts[r + 1] : header->CoveredRecords;
            const auto first = reader.LowerBound(begin, end);
            if (!first || !reader.Through(*first, end, true))
                return fail();
        }
        readThrough = header->CoveredRecords;
    }
    if (!reader.Stopped() && readThrough < records && !reader.Through(readThrough, records, false))
        return fail();
    return true;
}

} // namespace registrator::history
