#include "monitor/DaySummary.h"

#include <algorithm>
#include <cmath>

namespace registrator::monitor {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMsPerDay = kSecondsPerDay * 1000;
constexpr auto kLongestPeriodMs = static_cast<std::size_t>(kLongestPeriodSeconds * 1000);

double PeriodOf(std::span<const archive::TArhivRec> records) {
    TypicalPeriod period;
    for (const archive::TArhivRec& record : records)
        if (IsTimeOfDay(record.Time))
            period.Add(record.Time);
    return period.Period();
}

} // namespace

void TypicalPeriod::CountRare(std::size_t ms) {
    if (ms > kLongestPeriodMs) {
        ++longer_;
        ++total_;
        return;
    }
    counts_.resize(kLongestPeriodMs + 1);
    Count(ms);
}

void TypicalPeriod::Clear() {
    std::fill_n(counts_.begin(), std::min(counts_.size(), longest_ + 1), 0u);
    longest_ = 0;
    longer_ = 0;
    total_ = 0;
    last_.reset();
}

double TypicalPeriod::Period() const {
    if (total_ == 0)
        return 1000 / kMsPerDay;
    const std::uint64_t rank = (total_ + 1) / 2;
    std::uint64_t seen = 0;
    for (std::size_t ms = 1; ms < counts_.size(); ++ms) {
        seen += counts_[ms];
        if (seen >= rank)
            return static_cast<double>(ms) / kMsPerDay;
    }
    return static_cast<double>(kLongestPeriodMs) / kMsPerDay;
}

MotorDayCounter::MotorDayCounter(int channel, const channels::TUstavka& settings, double period,
                                 bool keepEpisodes)
    : column_(static_cast<std::size_t>(channel - 1)), settings_(settings), period_(period),
      keepEpisodes_(keepEpisodes) {}

void MotorDayCounter::Add(const archive::TArhivRec& record) {
    const std::size_t index = index_++;
    ++summary_.Records;
    // A record without a time of day cannot be placed in the day; it stands for nothing.
    if (!IsTimeOfDay(record.Time))
        return;
    if (pending_)
        Settle(*pending_, record.Time);
    pending_ = Pending{record.Time, record.Tok[column_], index};
}

MotorDaySummary MotorDayCounter::Finish() {
    if (pending_)
        Settle(*pending_, std::nullopt);
    pending_.reset();
    return std::move(summary_);
}

void MotorDayCounter::Settle(const Pending& record, std::optional<double> nextTime) {
    const double time = record.Time;
    const RecordSpan stands = SpanOfRecord(time, nextTime, period_);
    const double span = stands.Span;
    const bool gapAfter = stands.GapAfter;
    summary_.NoDataSeconds += stands.Gap * kSecondsPerDay;
    const double seconds = span * kSecondsPerDay;

    const double value = record.Value;
    if (!IsPlausibleReading(value)) {
        summary_.NoDataSeconds += seconds;
        inEpisode_ = false;
        return;
    }
    auto state = ClassifyReading(value, settings_);
    if (state == PanelState::Unchanged)
        state = previous_;
    if (anySettled_ && previous_ == PanelState::Off && state != PanelState::Off)
        ++summary_.Starts;
    anySettled_ = true;

    switch (state) {
    case PanelState::Overloaded:
        summary_.OverloadedSeconds += seconds;
        break;
    case PanelState::AboveNominal:
        summary_.AboveNominalSeconds += seconds;
        break;
    case PanelState::Running:
        summary_.RunningSeconds += seconds;
        break;
    case PanelState::Off:
    case PanelState::Unchanged:
        summary_.OffSeconds += seconds;
        break;
    }

    if (!summary_.PeakSeen || value > summary_.Peak) {
        summary_.Peak = value;
        summary_.PeakTime = time;
        summary_.PeakSeen = true;
    }
    if (state == PanelState::Overloaded) {
        if (!inEpisode_) {
            episode_ = {time, time, value, time, record.Index, record.Index};
            ++summary_.OverloadCount;
            if (keepEpisodes_)
                summary_.Overloads.push_back(episode_);
        }
        episode_.LastRecord = record.Index;
        if (value > episode_.Peak) {
            episode_.Peak = value;
            episode_.PeakTime = time;
        }
        episode_.End = time + span;
        if (keepEpisodes_)
            summary_.Overloads.back() = episode_;
        summary_.LongestOverloadSeconds =
            std::max(summary_.LongestOverloadSeconds, (episode_.End - episode_.Start) * kSecondsPerDay);
        inEpisode_ = !gapAfter;
    } else {
        inEpisode_ = false;
    }
    previous_ = state;
}

MotorDaySummary SummarizeMotorDay(std::span<const archive::TArhivRec> records, int channel,
                                  const channels::TUstavka& settings) {
    MotorDayCounter counter(channel, settings, PeriodOf(records), true);
    for (const archive::TArhivRec& record : records)
        counter.Add(record);
    return counter.Finish();
}

std::vector<RecordingBreak> BreaksOfDay(std::span<const archive::TArhivRec> records) {
    const double limit = 3 * PeriodOf(records);
    std::vector<RecordingBreak> breaks;
    std::optional<std::size_t> last;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!IsTimeOfDay(records[i].Time))
            continue;
        if (last && records[i].Time - records[*last].Time > limit)
            breaks.push_back({*last, i, (records[i].Time - records[*last].Time) * kSecondsPerDay});
        last = i;
    }
    return breaks;
}

channels::TUstavka ThresholdsOfDay(const archive::TUstRec& snapshot, const channels::TUstavka& present) {
    channels::TUstavka settings = present;
    settings.T_Nom = snapshot.T_Nom;
    settings.T_Max = snapshot.T_Max;
    settings.Moshn = snapshot.Moshn;
    return settings;
}

DayMotors MotorsOfDay(std::span<const archive::TUstRec> snapshot, const channels::UstavkiTable& present,
                      ThresholdSource presentSource) {
    DayMotors day{present, {}};
    day.Source.fill(presentSource);
    const std::size_t held = std::min<std::size_t>(snapshot.size(), channels::kChannelCount);
    for (std::size_t k = 1; k <= held; ++k) {
        const int n = static_cast<int>(k);
        day.Motors[n] = ThresholdsOfDay(snapshot[k - 1], present[n]);
        day.Motors[n].Name.AssignCp1251(archive::NameBytes(snapshot[k - 1]));
        day.Source[k - 1] = ThresholdSource::DaySnapshot;
    }
    return day;
}

} // namespace registrator::monitor
