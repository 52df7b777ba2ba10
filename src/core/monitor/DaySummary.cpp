#include "monitor/DaySummary.h"

#include "monitor/PanelState.h"

#include <algorithm>

namespace registrator::monitor {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kDefaultPeriod = 1.0 / kSecondsPerDay;

double TypicalPeriod(std::span<const archive::TArhivRec> records) {
    std::vector<double> spacings;
    spacings.reserve(records.size());
    for (std::size_t i = 1; i < records.size(); ++i)
        if (const double d = records[i].Time - records[i - 1].Time; d > 0)
            spacings.push_back(d);
    if (spacings.empty())
        return kDefaultPeriod;
    const auto middle = spacings.begin() + static_cast<std::ptrdiff_t>(spacings.size() / 2);
    std::nth_element(spacings.begin(), middle, spacings.end());
    return *middle;
}

} // namespace

MotorDaySummary SummarizeMotorDay(std::span<const archive::TArhivRec> records, int channel,
                                  const channels::TUstavka& settings) {
    MotorDaySummary summary;
    summary.Records = records.size();
    if (records.empty())
        return summary;
    const double period = TypicalPeriod(records);
    const double gapLimit = 3 * period;
    const auto column = static_cast<std::size_t>(channel - 1);

    PanelState previous = PanelState::Off;
    bool peakSeen = false;
    bool inEpisode = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const double time = records[i].Time;
        const double value = records[i].Tok[column];
        PanelState state = ClassifyReading(value, settings);
        if (state == PanelState::Unchanged)
            state = previous;
        if (i > 0 && previous == PanelState::Off && state != PanelState::Off)
            ++summary.Starts;

        double span = period;
        bool gapAfter = i + 1 == records.size();
        if (i + 1 < records.size()) {
            const double next = records[i + 1].Time - time;
            if (next <= 0)
                span = 0;
            else if (next <= gapLimit)
                span = next;
            else {
                summary.NoDataSeconds += (next - period) * kSecondsPerDay;
                gapAfter = true;
            }
        }
        const double seconds = span * kSecondsPerDay;
        switch (state) {
        case PanelState::Overloaded:
            summary.OverloadedSeconds += seconds;
            break;
        case PanelState::AboveNominal:
            summary.AboveNominalSeconds += seconds;
            break;
        case PanelState::Running:
            summary.RunningSeconds += seconds;
            break;
        case PanelState::Off:
        case PanelState::Unchanged:
            summary.OffSeconds += seconds;
            break;
        }

        if (!peakSeen || value > summary.Peak) {
            summary.Peak = value;
            summary.PeakTime = time;
            peakSeen = true;
        }
        if (state == PanelState::Overloaded) {
            if (!inEpisode)
                summary.Overloads.push_back({time, time, value, time, i, i});
            OverloadEpisode& episode = summary.Overloads.back();
            episode.LastRecord = i;
            if (value > episode.Peak) {
                episode.Peak = value;
                episode.PeakTime = time;
            }
            episode.End = time + span;
            inEpisode = !gapAfter;
        } else {
            inEpisode = false;
        }
        previous = state;
    }
    return summary;
}

channels::TUstavka ThresholdsOfDay(const archive::TUstRec& snapshot, const channels::TUstavka& present) {
    channels::TUstavka settings = present;
    settings.T_Nom = snapshot.T_Nom;
    settings.T_Max = snapshot.T_Max;
    settings.Moshn = snapshot.Moshn;
    return settings;
}

channels::UstavkiTable MotorsOfDay(std::span<const archive::TUstRec> snapshot,
                                   const channels::UstavkiTable& present) {
    channels::UstavkiTable motors = present;
    const std::size_t held = std::min<std::size_t>(snapshot.size(), channels::kChannelCount);
    for (std::size_t k = 1; k <= held; ++k) {
        const int n = static_cast<int>(k);
        motors[n] = ThresholdsOfDay(snapshot[k - 1], present[n]);
        motors[n].Name.AssignCp1251(archive::NameBytes(snapshot[k - 1]));
    }
    return motors;
}

} // namespace registrator::monitor
