// A day's digest as a station may find it: torn, flipped, or lying with its checksums made right. The
// input patches a good digest: its first byte says whether to cut it short and whether to make the
// checksums right again, then each four bytes put one byte at an offset. A chart of the day never
// shows what the day file does not hold: without right checksums it is the day file's own chart, and
// with them every point is still a band the readings could make.
#include "FuzzCheck.h"
#include "history/DigestStore.h"
#include "history/PeriodQuery.h"
#include "support/TempFolder.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

using namespace registrator;

namespace {

const common::TDateTime kDay = common::EncodeDate(2026, 12, 6);
constexpr int kRecords = 900;

struct Station {
    Station() : history(folder.Slash(), Present()) {
        std::vector<archive::TArhivRec> records(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            records[static_cast<std::size_t>(i)].Time = (36000.0 + i) / 86400;
            for (int n = 1; n <= 72; ++n)
                records[static_cast<std::size_t>(i)].Tok[n - 1] = (i * n) % 170;
        }
        support::WriteFileBytes(history.DayPath(kDay),
                                std::string(reinterpret_cast<const char*>(records.data()),
                                            records.size() * sizeof(archive::TArhivRec)));
        // A later day, so that this one is whole.
        support::WriteFileBytes(
            history.DayPath(kDay + 1),
            std::string(reinterpret_cast<const char*>(records.data()), sizeof(archive::TArhivRec)));
        truth = history::QuerySeries(history, Request(), work);
        good = support::ReadFileBytes(history.DigestPath(kDay));
    }
    static channels::UstavkiTable Present() {
        channels::UstavkiTable table;
        for (int n = 1; n <= 72; ++n)
            table[n] = channels::DefaultUstavka(n);
        return table;
    }
    static history::SeriesRequest Request() { return {kDay, kDay + 1, {1, 2, 71}, 2000}; }

    support::TempFolder folder;
    history::ArchiveHistory history;
    history::Workspace work;
    history::SeriesAnswer truth;
    std::string good;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Station station;
    std::string bytes = station.good;
    const std::uint8_t flags = size > 0 ? data[0] : 0;
    for (std::size_t i = 1; i + 4 <= size; i += 4) {
        const std::size_t at = (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % bytes.size();
        bytes[at] = static_cast<char>(data[i + 3]);
    }
    const bool resealed = flags & 1;
    if (resealed)
        history::ResealDigestBytes(bytes);
    if (flags & 2)
        bytes.resize(bytes.size() * (flags >> 2) / 64);
    support::WriteFileBytes(station.history.DigestPath(kDay), bytes);

    const history::SeriesAnswer answer =
        history::QuerySeries(station.history, Station::Request(), station.work);
    FUZZ_CHECK(answer.Troubles.empty());
    for (std::size_t k = 0; k < answer.Channels.size(); ++k) {
        const auto& points = answer.Channels[k].Points;
        const auto& truth = station.truth.Channels[k].Points;
        FUZZ_CHECK(points.size() <= 2000);
        if (!resealed) {
            FUZZ_CHECK(points.size() == truth.size());
            for (std::size_t i = 0; i < points.size(); ++i)
                FUZZ_CHECK(points[i].Records == truth[i].Records &&
                           (points[i].Records == 0 ||
                            (points[i].Min == truth[i].Min && points[i].Max == truth[i].Max &&
                             points[i].Mean == truth[i].Mean)));
        }
        for (const history::SeriesPoint& p : points)
            FUZZ_CHECK(p.Records == 0 ? std::isnan(p.Min) && std::isnan(p.Max)
                                      : p.Min >= 0 && p.Min <= p.Mean && p.Mean <= p.Max && p.Max <= 1e7 &&
                                            p.Records <= kRecords);
    }
    return 0;
}
