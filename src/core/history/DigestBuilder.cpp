#include "history/DigestBuilder.h"

#include "archive/ArchiveFile.h"
#include "monitor/PanelState.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace registrator::history {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr std::size_t kCh = kChannels;
// Records per read: about 256 KB, so that a block is worked through while it is still in the cache.
constexpr std::size_t kBlockRecords = 448;
constexpr double kInf = std::numeric_limits<double>::infinity();

Level LevelOf(monitor::PanelState state) {
    switch (state) {
    case monitor::PanelState::Overloaded:
        return Overloaded;
    case monitor::PanelState::AboveNominal:
        return AboveNominal;
    case monitor::PanelState::Running:
        return Running;
    case monitor::PanelState::Off:
        return Off;
    case monitor::PanelState::Unchanged:
        break;
    }
    return NoData;
}

} // namespace

Level LevelOfReading(double amperes, const channels::TUstavka& motor) {
    return LevelOf(monitor::ClassifyReading(amperes, motor));
}

int MinuteOf(double time) {
    const auto ms = std::llround(time * kMsPerDay);
    return static_cast<int>(std::clamp<long long>(ms / 60000, 0, kMinutesPerDay - 1));
}

std::uint64_t IdentityOf(std::uint64_t records, const archive::TArhivRec& first,
                         const archive::TArhivRec& last) {
    const std::uint64_t sums[3] = {records, Checksum(&first, sizeof first), Checksum(&last, sizeof last)};
    return Checksum(sums, sizeof sums);
}

void DigestBuilder::Reset(const channels::UstavkiTable& motors, const std::uint8_t* start) {
    KernelRules& r = *rules_;
    slow_.clear();
    for (int n = 1; n <= kChannels; ++n) {
        const auto c = static_cast<std::size_t>(n - 1);
        const channels::TUstavka& motor = motors[n];
        thresholds_[c] = ThresholdsOf(motor);
        slowPrevious_[c] = start ? static_cast<double>(start[c]) : double{Off};
        double cut[3] = {thresholds_[c].Oborot, thresholds_[c].T_Nom, thresholds_[c].T_Max};
        if (!std::all_of(std::begin(cut), std::end(cut), [](double v) { return std::isfinite(v); })) {
            slow_.emplace_back(c, motor);
            r.S0[c] = r.S1[c] = r.S2[c] = r.P0[c] = r.D1[c] = r.D2[c] = r.D3[c] = r.E0[c] = r.E1[c] =
                r.E2[c] = 0;
            continue;
        }
        std::sort(std::begin(cut), std::end(cut));
        // The rule asked inside each stretch between the thresholds (an empty one is never used) and on each.
        const double probes[7] = {std::nextafter(cut[0], -kInf), cut[0], std::nextafter(cut[0], kInf), cut[1],
                                  std::nextafter(cut[1], kInf),  cut[2], std::nextafter(cut[2], kInf)};
        double piece[7];
        for (int i = 0; i < 7; ++i)
            piece[i] = LevelOfReading(probes[i], motor);
        r.S0[c] = cut[0];
        r.S1[c] = cut[1];
        r.S2[c] = cut[2];
        r.P0[c] = piece[0];
        r.D1[c] = piece[2] - piece[0];
        r.D2[c] = piece[4] - piece[2];
        r.D3[c] = piece[6] - piece[4];
        r.E0[c] = piece[1];
        r.E1[c] = piece[3];
        r.E2[c] = piece[5];
    }
    carry_.Start(slowPrevious_.data());
    records_ = 0;
    period_ = monitor::TypicalPeriod();
    lastTime_.reset();
    runStarts_.assign(1, 0);
    tooManyRuns_ = false;
    minuteRecords_.fill(0);
    min_.assign(kMinutesPerDay * kCh, kInf);
    max_.assign(kMinutesPerDay * kCh, -kInf);
    sum_.assign(kMinutesPerDay * kCh, 0);
    count_.assign(kMinutesPerDay * kCh, 0);
    times_.clear();
    levels_.clear();
}

void DigestBuilder::Reserve(std::uint64_t records) {
    times_.reserve(static_cast<std::size_t>(records));
    levels_.reserve(static_cast<std::size_t>(records) * kCh);
}

void DigestBuilder::Add(std::span<const archive::TArhivRec> block) {
    for (const archive::TArhivRec& record : block) {
        const std::uint64_t index = records_++;
        // A record without a time of day stands for nothing, as in the day summary.
        if (!monitor::IsTimeOfDay(record.Time))
            continue;
        if (lastTime_ && record.Time < *lastTime_) {
            if (runStarts_.size() < kMaxRuns)
                runStarts_.push_back(index);
            else
                tooManyRuns_ = true;
        }
        lastTime_ = record.Time;
        period_.Add(record.Time);

        const auto at = static_cast<std::size_t>(MinuteOf(record.Time));
        ++minuteRecords_[at];
        times_.push_back(record.Time);
        const std::size_t first = levels_.size();
        levels_.resize(first + kCh);
        std::uint8_t* level = &levels_[first];
        AddReadings(record.Tok, *rules_, &min_[at * kCh], &max_[at * kCh], &sum_[at * kCh], &count_[at * kCh],
                    carry_, level, first > 0 ? level - kCh : nullptr);
        for (const auto& [c, motor] : slow_) {
            const double v = record.Tok[c];
            if (!monitor::IsPlausibleReading(v)) {
                level[c] = NoData;
                continue;
            }
            // On a threshold the state before it holds.
            const Level now = LevelOfReading(v, motor);
            if (now != NoData)
                slowPrevious_[c] = now;
            level[c] = static_cast<std::uint8_t>(slowPrevious_[c]);
            carry_.Previous[c] = slowPrevious_[c];
        }
    }
}

void DigestBuilder::Spend(std::size_t record, double from, double span) {
    const double end = from + span;
    int minute = std::clamp(static_cast<int>(from * kMinutesPerDay), 0, kMinutesPerDay - 1);
    const std::uint8_t* level = &levels_[record * kCh];
    while (from < end && minute < kMinutesPerDay) {
        const double boundary = static_cast<double>(minute + 1) / kMinutesPerDay;
        const double ms = (std::min(end, boundary) - from) * kMsPerDay;
        if (ms > 0) {
            double* spent = &spent_[static_cast<std::size_t>(minute) * kCh * 5];
            for (std::size_t c = 0; c < kCh; ++c)
                spent[c * 5 + level[c]] += ms;
        }
        from = boundary;
        ++minute;
    }
}

void DigestBuilder::Finish(std::optional<double> period, std::optional<double> next, DayDigest& digest) {
    const double typical = period.value_or(period_.Period());
    spent_.assign(kMinutesPerDay * kCh * 5, 0);
    for (std::size_t i = 0; i < times_.size(); ++i) {
        const std::optional<double> after = i + 1 < times_.size() ? std::optional(times_[i + 1]) : next;
        const monitor::RecordSpan stands = monitor::SpanOfRecord(times_[i], after, typical);
        if (stands.Span > 0)
            Spend(i, times_[i], stands.Span);
    }

    DigestHeader& h = digest.Header();
    h = DigestHeader{};
    h.Period = typical;
    h.RunCount = tooManyRuns_ ? 0 : static_cast<std::uint32_t>(runStarts_.size());
    std::copy(runStarts_.begin(), runStarts_.end(), h.RunStarts);
    std::copy(thresholds_.begin(), thresholds_.end(), h.Thresholds);
    for (std::size_t c = 0; c < kCh; ++c)
        h.LastLevel[c] = static_cast<std::uint8_t>(carry_.Previous[c]);
    std::copy(minuteRecords_.begin(), minuteRecords_.end(), h.MinuteRecords);

    for (int n = 1; n <= kChannels; ++n) {
        const auto c = static_cast<std::size_t>(n - 1);
        const std::span<DigestEntry> block = digest.Block(n);
        // Each minute's milliseconds are the steps of the rounded running total, so that the day's
        // total is its own rounding and not the sum of 1440 roundings.
        double running[3] = {};
        long long shown[3] = {};
        for (std::size_t m = 0; m < kMinutesPerDay; ++m) {
            const std::size_t at = m * kCh + c;
            DigestEntry& e = block[kHoursPerDay + m];
            e = DigestEntry{};
            e.Records = static_cast<std::uint32_t>(count_[at]);
            if (e.Records > 0) {
                e.Min = min_[at];
                e.Max = max_[at];
                e.Mean = std::clamp(sum_[at] / e.Records, e.Min, e.Max);
            }
            const double* spent = &spent_[at * 5];
            running[2] += spent[Overloaded];
            running[1] += spent[Overloaded] + spent[AboveNominal];
            running[0] += spent[Overloaded] + spent[AboveNominal] + spent[Running];
            std::uint32_t* ms[3] = {&e.MsAboveOff, &e.MsAboveNominal, &e.MsAboveCritical};
            for (int k = 0; k < 3; ++k) {
                const long long now = std::llround(running[k]);
                *ms[k] = static_cast<std::uint32_t>(now - shown[k]);
                shown[k] = now;
            }
        }
        for (int hour = 0; hour < kHoursPerDay; ++hour) {
            DigestEntry& e = block[static_cast<std::size_t>(hour)];
            e = DigestEntry{};
            double sum = 0;
            for (int m = hour * 60; m < hour * 60 + 60; ++m) {
                const DigestEntry& minute = block[static_cast<std::size_t>(kHoursPerDay + m)];
                sum += sum_[static_cast<std::size_t>(m) * kCh + c];
                Merge(e, minute);
            }
            if (e.Records > 0)
                e.Mean = std::clamp(sum / e.Records, e.Min, e.Max);
        }
    }
}

BuildOutcome BuildDigest(const std::string& dayPath, const channels::UstavkiTable& motors, DigestKind kind,
                         DayDigest& into, DigestBuilder& builder, const StopCheck& stop) {
    BuildOutcome out;
    archive::ArchiveFile file(dayPath, archive::ArchiveFile::Mode::Read);
    const auto size = file.IsOpen() ? file.Size() : std::nullopt;
    if (!size) {
        out.Error = file.Error();
        return out;
    }
    const std::uint64_t records = *size / sizeof(archive::TArhivRec);
    if (records == 0)
        return out;

    std::vector<archive::TArhivRec> block(kBlockRecords);
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
        builder.Add(std::span(block.data(), want));
        done += want;
    }
    builder.Finish(std::nullopt, next, into);
    DigestHeader& h = into.Header();
    h.Kind = static_cast<std::uint32_t>(kind);
    h.SourceBytes = *size;
    h.CoveredRecords = covered;
    h.Identity = IdentityOf(covered, first, last);
    SealDigest(into);
    out.Built = true;
    return out;
}

} // namespace registrator::history
