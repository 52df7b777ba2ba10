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
// A minute's row: three figures for each channel.
constexpr std::size_t kRow = 3 * kCh;
// Records per read: about 256 KB, so that a block is worked through while it is still in the cache.
constexpr std::size_t kBlockRecords = 448;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint32_t kNoChange = std::numeric_limits<std::uint32_t>::max();

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
    if (!(time >= 0))
        return 0;
    const auto ms = static_cast<std::int64_t>(RoundedWhole(time * kMsPerDay));
    return static_cast<int>(std::min<std::int64_t>(ms / 60000, kMinutesPerDay - 1));
}

std::uint64_t IdentityOf(std::uint64_t records, const archive::TArhivRec& first,
                         const archive::TArhivRec& last) {
    const std::uint64_t sums[3] = {records, Checksum(&first, sizeof first), Checksum(&last, sizeof last)};
    return Checksum(sums, sizeof sums);
}

DigestBuilder::DigestBuilder()
    : rules_(std::make_unique<KernelRules>()),
      band_(std::make_unique_for_overwrite<double[]>(kMinutesPerDay * kRow)),
      above_(std::make_unique_for_overwrite<double[]>(kMinutesPerDay * kRow)),
      records_(kCh * kMinutesPerDay) {}

void DigestBuilder::Reset(const channels::UstavkiTable& motors, const std::uint8_t* start) {
    KernelRules& r = *rules_;
    motors_ = motors;
    for (int n = 1; n <= kChannels; ++n) {
        const auto c = static_cast<std::size_t>(n - 1);
        const channels::TUstavka& motor = motors[n];
        thresholds_[c] = ThresholdsOf(motor);
        previous_[c] = start ? start[c] : std::uint8_t{Off};
        double cut[3] = {thresholds_[c].Oborot, thresholds_[c].T_Nom, thresholds_[c].T_Max};
        slow_[c] = !std::all_of(std::begin(cut), std::end(cut), [](double v) { return std::isfinite(v); });
        std::fill(std::begin(r.Piece[c]), std::end(r.Piece[c]), std::uint8_t{NoData});
        if (slow_[c]) {
            // Never one state for a whole stretch: no band lies between NaN thresholds.
            r.S0[c] = r.S1[c] = r.S2[c] = kNaN;
            continue;
        }
        std::sort(std::begin(cut), std::end(cut));
        // The rule asked inside each stretch between the thresholds (an empty one is never used) and on each.
        const double probes[7] = {std::nextafter(cut[0], -kInf), cut[0], std::nextafter(cut[0], kInf), cut[1],
                                  std::nextafter(cut[1], kInf),  cut[2], std::nextafter(cut[2], kInf)};
        for (int i = 0; i < 7; ++i)
            r.Piece[c][i] = LevelOfReading(probes[i], motor);
        r.S0[c] = cut[0];
        r.S1[c] = cut[1];
        r.S2[c] = cut[2];
    }
    current_.fill(0xFF); // so that the first record starts the first change
    count_ = 0;
    period_.Clear();
    lastTime_ = -kInf;
    minuteFrom_ = minuteTo_ = 0; // no minute yet
    runStarts_.assign(1, 0);
    tooManyRuns_ = false;
    minuteRecords_.fill(0);
    times_.clear();
    changes_.clear();
    states_.clear();
    missing_.clear();
    touched_.fill(false);
    timed_.fill(false);
}

void DigestBuilder::Reserve(std::uint64_t records) {
    times_.reserve(static_cast<std::size_t>(records));
}

std::span<archive::TArhivRec> DigestBuilder::Block(std::size_t records) {
    if (block_.size() < records)
        block_.resize(records);
    return {block_.data(), records};
}

void DigestBuilder::Add(std::span<const archive::TArhivRec> block) {
    // Kept in locals while the block is worked through: the compiler need not reload them after each
    // time is stored.
    std::size_t minute = minute_;
    double from = minuteFrom_;
    double to = minuteTo_;
    double last = lastTime_;
    std::uint64_t index = count_;
    std::size_t start = 0;
    std::size_t count = 0;
    const auto flush = [&] {
        if (count > 0)
            AddStretch(block.data() + start, count, minute, times_.size() - count);
        count = 0;
    };
    for (std::size_t i = 0; i < block.size(); ++i, ++index) {
        const double time = block[i].Time;
        // A record without a time of day stands for nothing, as in the day summary.
        if (!monitor::IsTimeOfDay(time)) {
            flush();
            continue;
        }
        if (time < last) {
            if (runStarts_.size() < kMaxRuns)
                runStarts_.push_back(index);
            else
                tooManyRuns_ = true;
        }
        last = time;
        period_.Add(time);
        // Most records fall in the minute of the one before.
        const double ms = time * kMsPerDay;
        if (!(ms >= from && ms < to)) {
            flush();
            minute = static_cast<std::size_t>(MinuteOf(time));
            from = minute == 0 ? -kInf : static_cast<double>(minute) * 60000 - 0.5;
            to = minute + 1 == kMinutesPerDay ? kInf : static_cast<double>(minute + 1) * 60000 - 0.5;
        }
        if (count == 0)
            start = i;
        ++count;
        ++minuteRecords_[minute];
        times_.push_back(time);
    }
    flush();
    minute_ = minute;
    minuteFrom_ = from;
    minuteTo_ = to;
    lastTime_ = last;
    count_ = index;
}

void DigestBuilder::Touch(std::size_t minute) {
    if (touched_[minute])
        return;
    touched_[minute] = true;
    double* row = &band_[minute * kRow];
    std::fill_n(row, kCh, kInf);
    std::fill_n(row + kCh, kCh, -kInf);
    std::fill_n(row + 2 * kCh, kCh, 0.0);
}

void DigestBuilder::Change(std::size_t record) {
    changes_.push_back(static_cast<std::uint32_t>(record));
    states_.insert(states_.end(), current_.begin(), current_.end());
}

void DigestBuilder::AddStretch(const archive::TArhivRec* stretch, std::size_t count, std::size_t minute,
                               std::size_t first) {
    Touch(minute);
    // The minute's band goes on from what it holds, so that its sum is added in file order; a channel
    // with an implausible reading takes it again from what it held.
    double* row = &band_[minute * kRow];
    alignas(16) double before[kRow];
    std::copy_n(row, kRow, before);
    BandOfRecords(stretch, count, row, row + kCh, row + 2 * kCh);
    std::uint8_t shared[kCh];
    std::uint8_t plausible[kCh];
    SharedLevels(*rules_, row, row + kCh, row + 2 * kCh, shared, plausible);

    std::size_t others[kCh];
    std::size_t otherCount = 0;
    for (std::size_t c = 0; c < kCh; ++c) {
        if (shared[c] != NoData) {
            previous_[c] = shared[c];
            continue;
        }
        others[otherCount++] = c;
        if (!plausible[c])
            for (std::size_t k = 0; k < 3; ++k)
                row[k * kCh + c] = before[k * kCh + c];
    }
    if (otherCount == 0) {
        // The usual stretch: every channel keeps one state throughout.
        if (std::memcmp(shared, current_.data(), kCh) != 0) {
            std::memcpy(current_.data(), shared, kCh);
            Change(first);
        }
        return;
    }
    columns_.resize(otherCount * count);
    for (std::size_t k = 0; k < otherCount; ++k)
        ClassEach(stretch, count, minute, others[k], !plausible[others[k]], &columns_[k * count]);
    for (std::size_t i = 0; i < count; ++i) {
        bool changed = false;
        if (i == 0)
            for (std::size_t c = 0; c < kCh; ++c)
                if (shared[c] != NoData && current_[c] != shared[c]) {
                    current_[c] = shared[c];
                    changed = true;
                }
        for (std::size_t k = 0; k < otherCount; ++k) {
            const std::uint8_t state = columns_[k * count + i];
            if (current_[others[k]] != state) {
                current_[others[k]] = state;
                changed = true;
            }
        }
        if (changed)
            Change(first + i);
    }
}

void DigestBuilder::ClassEach(const archive::TArhivRec* stretch, std::size_t count, std::size_t minute,
                              std::size_t c, bool band, std::uint8_t* column) {
    double* row = &band_[minute * kRow + c];
    std::uint32_t missing = 0;
    std::uint8_t previous = previous_[c];
    for (std::size_t i = 0; i < count; ++i) {
        const double v = stretch[i].Tok[c];
        if (!monitor::IsPlausibleReading(v)) {
            column[i] = NoData;
            ++missing;
            continue;
        }
        if (band) {
            row[0] = std::min(row[0], v);
            row[kCh] = std::max(row[kCh], v);
            row[2 * kCh] += v;
        }
        // On a threshold the state before it holds.
        const std::uint8_t now = slow_[c] ? std::uint8_t{LevelOfReading(v, motors_[static_cast<int>(c) + 1])}
                                          : PieceLevel(*rules_, c, v);
        if (now != NoData)
            previous = now;
        column[i] = previous;
    }
    previous_[c] = previous;
    if (missing > 0)
        missing_.push_back({static_cast<std::uint32_t>(minute), static_cast<std::uint32_t>(c), missing});
}

void DigestBuilder::CountMilliseconds(double period, std::optional<double> next) {
    static const auto boundaries = [] {
        std::array<double, kMinutesPerDay + 1> out{};
        for (std::size_t m = 0; m <= kMinutesPerDay; ++m)
            out[m] = static_cast<double>(m) / kMinutesPerDay;
        return out;
    }();
    const std::size_t n = times_.size();
    std::size_t change = 0;
    std::uint32_t nextChange = changes_.size() > 1 ? changes_[1] : kNoChange;
    // Per channel and threshold, 1 where the states count the time as above it; changed where a
    // channel's state changes.
    alignas(16) double above[kRow] = {};
    const std::uint8_t* was = nullptr;
    const auto weigh = [&] {
        const std::uint8_t* states = &states_[change * kCh];
        for (std::size_t c = 0; c < kCh; ++c)
            if (!was || states[c] != was[c])
                for (std::size_t k = 0; k < 3; ++k)
                    above[k * kCh + c] = states[c] >= Running + static_cast<int>(k) ? 1.0 : 0.0;
        was = states;
    };
    if (n > 0)
        weigh();
    std::size_t minute = 0;
    double spent = 0;
    // The time since the last flush, all of it in `minute` and with the same states.
    const auto flush = [&] {
        if (spent <= 0)
            return;
        double* row = &above_[minute * kRow];
        if (!timed_[minute]) {
            timed_[minute] = true;
            std::fill_n(row, kRow, 0.0);
        }
        for (std::size_t j = 0; j < kRow; ++j)
            row[j] += spent * above[j];
        spent = 0;
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (i == nextChange) {
            flush();
            ++change;
            weigh();
            nextChange = change + 1 < changes_.size() ? changes_[change + 1] : kNoChange;
        }
        // The record's time, from its own to where it ends, into the minutes it covers.
        double from = times_[i];
        const std::optional<double> after = i + 1 < n ? std::optional(times_[i + 1]) : next;
        const double end = from + monitor::SpanOfRecord(from, after, period).Span;
        auto m =
            static_cast<std::size_t>(std::min(static_cast<int>(from * kMinutesPerDay), kMinutesPerDay - 1));
        for (; from < end && m < kMinutesPerDay; ++m) {
            const double boundary = boundaries[m + 1];
            const double ms = (std::min(end, boundary) - from) * kMsPerDay;
            if (ms > 0) {
                if (m != minute)
                    flush();
                minute = m;
                spent += ms;
            }
            from = boundary;
        }
    }
    flush();
}

void DigestBuilder::Finish(std::optional<double> period, std::optional<double> next, DayDigest& digest) {
    const double typical = period.value_or(period_.Period());
    CountMilliseconds(typical, next);

    DigestHeader& h = digest.Header;
    h = DigestHeader{};
    h.Period = typical;
    h.RunCount = tooManyRuns_ ? 0 : static_cast<std::uint32_t>(runStarts_.size());
    std::copy(runStarts_.begin(), runStarts_.end(), h.RunStarts);
    std::copy(thresholds_.begin(), thresholds_.end(), h.Thresholds);
    std::copy(previous_.begin(), previous_.end(), h.LastLevel);
    std::copy(minuteRecords_.begin(), minuteRecords_.end(), h.MinuteRecords);

    // Each minute's milliseconds are the steps of the rounded running total, so that the day's total
    // is its own rounding and not the sum of 1440 roundings. All channels and thresholds at once, each
    // minute's row of times turned into its row of steps.
    double running[kRow] = {};
    double shown[kRow] = {};
    for (std::size_t m = 0; m < kMinutesPerDay; ++m) {
        double* row = &above_[m * kRow];
        if (!timed_[m])
            std::fill_n(row, kRow, 0.0);
        for (std::size_t j = 0; j < kRow; ++j) {
            running[j] += row[j];
            const double now = RoundedWhole(running[j]);
            row[j] = now - shown[j];
            shown[j] = now;
        }
    }

    // A channel's records are the minute's, less its implausible readings.
    const std::uint32_t* records[kCh];
    std::fill(std::begin(records), std::end(records), h.MinuteRecords);
    for (const Missing& missing : missing_) {
        std::uint32_t* own = &records_[missing.Channel * kMinutesPerDay];
        if (records[missing.Channel] != own) {
            std::copy_n(h.MinuteRecords, kMinutesPerDay, own);
            records[missing.Channel] = own;
        }
        own[missing.Minute] -= missing.Count;
    }
    WriteBlocks(digest, {band_.get(), above_.get(), records});
}

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
