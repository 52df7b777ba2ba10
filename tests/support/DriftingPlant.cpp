#include "support/DriftingPlant.h"

#include "archive/ArchiveRecords.h"
#include "channels/ChannelData.h"
#include "events/EventJournal.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace registrator::support {

namespace {

constexpr double kSecond = 1.0 / 86400;

// Even in [-1, 1], the same for the same arguments.
double Scatter(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    std::uint32_t x = a * 2654435761u ^ (b + 0x9E3779B9u) * 40503u ^ (c + 7u) * 2246822519u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return static_cast<double>(x % 20001) / 10000 - 1;
}

} // namespace

double DriftingPlant::Drift(int day) {
    return std::pow(1.01, std::max(0, day - kDriftFrom));
}

double DriftingPlant::Load(int section, int day) {
    const double rise = section == 3 ? 0.3 * std::clamp((day - 30) / 15.0, 0.0, 1.0) : 0;
    return 1 + rise + 0.03 * std::sin(day / 5.0 + section);
}

bool DriftingPlant::Write(const std::string& folder) const {
    channels::ChannelData data;
    for (int n = 1; n <= channels::kChannelCount; ++n)
        data.Ustavki[n] = channels::DefaultUstavka(n);
    events::EventJournal journal(folder);
    std::vector<archive::TArhivRec> records(1440);
    for (int d = 0; d < kDays; ++d) {
        const common::TDateTime day = FirstDay + d;
        for (int n = 1; n <= 72; ++n) {
            const double current = (Base + n) * Load(channels::SectionOfChannel(n), d) *
                                   (1 + 0.04 * Scatter(n, d, 1)) * (n == kMoreCurrent ? Drift(d) : 1);
            for (int m = 0; m < 1440; ++m) {
                records[static_cast<std::size_t>(m)].Time = m / 1440.0;
                records[static_cast<std::size_t>(m)].Tok[n - 1] =
                    m < 60 ? 0 : std::round(current * (1 + 0.02 * Scatter(n, d, 100 + m)));
            }
            const int starts = 3 + static_cast<int>((Scatter(n, d, 2) + 1) * 3);
            for (int s = 0; s < starts; ++s) {
                const double seconds =
                    (3 + n % 5) * (1 + 0.15 * Scatter(n, d, 10 + s)) * (n == kLongerStarts ? Drift(d) : 1);
                const double peak = 5 * (Base + n) * (1 + 0.08 * Scatter(n, d, 50 + s));
                const common::TDateTime at = day + (3600 + s * 7000 + n * 11) * kSecond;
                events::Event event;
                event.Time = at;
                event.Channel = n;
                event.Kind = events::EventKind::StartBegan;
                if (!journal.Append(event, data))
                    return false;
                event.Time = at + seconds * kSecond;
                event.Kind = events::EventKind::StartEnded;
                event.Peak = peak;
                event.Seconds = seconds;
                if (!journal.Append(event, data))
                    return false;
            }
        }
        WriteFileBytes(folder + common::ArchiveDateText(day) + ".txt",
                       std::string(reinterpret_cast<const char*>(records.data()),
                                   records.size() * sizeof(archive::TArhivRec)));
    }
    return true;
}

} // namespace registrator::support
