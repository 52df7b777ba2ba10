// A month's report of 72 motors over 31 full days (86,400 records each, about 1.5 GB, and a journal of a
// thousand lines a day): its figures with the digests present, and with none (each made on the way),
// against reading the month's day files once; then the motor health of the month, first made and then
// taken from its cache. The files stay in the page cache (what is measured is the work, not the disk), but
// for the "Cold" pair, which drops them first, as a station's month of files is on its first report.
#include "PageCache.h"
#include "RatioReporter.h"
#include "events/EventJournal.h"
#include "reports/MotorHealth.h"
#include "reports/PeriodFigures.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace registrator;
namespace fs = std::filesystem;

constexpr std::size_t kDayRecords = 86400;
int gDays = 31; // fewer for the tests' brief run
const common::TDateTime kFirst = common::EncodeDate(2026, 1, 1);

// Motors of their own sizes: nominal 60 + 2n A, critical 1.4 times that, switched off at 5 A.
channels::UstavkiTable Present() {
    channels::UstavkiTable table;
    for (int n = 1; n <= 72; ++n) {
        table[n] = channels::DefaultUstavka(n);
        table[n].Oborot = 5;
        table[n].T_Nom = 60 + 2 * n;
        table[n].T_Max = 1.4 * table[n].T_Nom;
    }
    return table;
}

// A day of records and the journal's starts and overloads that go with them.
struct Day {
    std::vector<archive::TArhivRec> Records = std::vector<archive::TArhivRec>(kDayRecords);
    std::vector<events::Event> Events;
};

// Each motor runs for 20 minutes to 2 hours at half to nine tenths of its nominal current and stands still
// for 5 to 30; each start draws five times nominal for its first seconds, and one run in eight is
// overloaded for a while. Whole amperes, as the recorder stores them.
Day MakeDay(common::TDateTime date, const channels::UstavkiTable& motors, std::uint32_t seed) {
    Day day;
    std::mt19937 random(seed);
    const auto within = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (int n = 1; n <= 72; ++n) {
        const double nominal = motors[n].T_Nom;
        std::size_t s = static_cast<std::size_t>(within(0, 1800));
        for (std::size_t i = 0; i < s; ++i)
            day.Records[i].Tok[n - 1] = 0;
        while (s < kDayRecords) {
            const std::size_t run =
                std::min<std::size_t>(kDayRecords - s, static_cast<std::size_t>(within(1200, 7200)));
            const double load = nominal * within(50, 90) / 100;
            const int inrush = within(3, 8);
            const bool overload = within(0, 7) == 0;
            const std::size_t overFrom = s + run / 2;
            const std::size_t overTo = overFrom + static_cast<std::size_t>(within(30, 300));
            const common::TDateTime at = date + static_cast<double>(s) / kDayRecords;
            using events::EventKind;
            day.Events.push_back({.Time = at, .Kind = EventKind::StartBegan, .Channel = n, .Text = {}});
            day.Events.push_back({.Time = at + inrush / 86400.0,
                                  .Kind = EventKind::StartEnded,
                                  .Channel = n,
                                  .Peak = 5 * nominal,
                                  .Seconds = static_cast<double>(inrush),
                                  .Text = {}});
            if (overload && overTo < s + run) {
                const common::TDateTime from = date + static_cast<double>(overFrom) / kDayRecords;
                const auto lasted = static_cast<double>(overTo - overFrom);
                day.Events.push_back({.Time = from,
                                      .Kind = EventKind::OverloadBegan,
                                      .Channel = n,
                                      .Alarm = true,
                                      .Text = {}});
                day.Events.push_back({.Time = from + lasted / 86400,
                                      .Kind = EventKind::OverloadEnded,
                                      .Channel = n,
                                      .Peak = 1.6 * nominal,
                                      .Seconds = lasted,
                                      .Text = {}});
            }
            for (std::size_t i = s; i < s + run; ++i) {
                const bool over = overload && i >= overFrom && i < overTo;
                const double value = i < s + static_cast<std::size_t>(inrush) ? 5 * nominal
                                     : over                                   ? 1.5 * nominal
                                                                              : load;
                day.Records[i].Tok[n - 1] = std::round(value) + within(0, 2);
            }
            s += run;
            const std::size_t stop =
                std::min<std::size_t>(kDayRecords - s, static_cast<std::size_t>(within(300, 1800)));
            for (std::size_t i = s; i < s + stop; ++i)
                day.Records[i].Tok[n - 1] = 0;
            s += stop;
        }
    }
    for (std::size_t i = 0; i < kDayRecords; ++i)
        day.Records[i].Time = static_cast<double>(i) / kDayRecords;
    return day;
}

struct Archive {
    Archive() {
        fs::create_directories(Root);
        channels::ChannelData data;
        data.Ustavki = Present();
        for (int d = 0; d < gDays; ++d) {
            Day day = MakeDay(kFirst + d, data.Ustavki, 12345u + static_cast<std::uint32_t>(d));
            const int fd = ::open(DayPath(d).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const auto bytes = static_cast<ssize_t>(day.Records.size() * sizeof(archive::TArhivRec));
            if (fd < 0 || ::write(fd, day.Records.data(), static_cast<std::size_t>(bytes)) != bytes)
                std::abort();
            ::close(fd);
            std::sort(day.Events.begin(), day.Events.end(),
                      [](const events::Event& a, const events::Event& b) { return a.Time < b.Time; });
            std::string journal = std::string("\xEF\xBB\xBF") + events::EventJournal::kHeader + "\r\n";
            for (const events::Event& event : day.Events)
                if (common::DatePart(event.Time) == kFirst + d)
                    journal += events::JournalLine(event, data) + "\r\n";
            const int jd = ::open((Root / (common::ArchiveDateText(kFirst + d) + ".events.csv")).c_str(),
                                  O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (jd < 0 || ::write(jd, journal.data(), journal.size()) != static_cast<ssize_t>(journal.size()))
                std::abort();
            ::close(jd);
        }
        History().BuildAll();
    }
    ~Archive() {
        std::error_code ignored;
        fs::remove_all(Root, ignored);
    }
    std::string DayPath(int d) const {
        return (Root / (common::ArchiveDateText(kFirst + d) + ".txt")).string();
    }
    history::ArchiveHistory History() const { return history::ArchiveHistory(Root.string(), Present()); }

    fs::path Root =
        fs::temp_directory_path() / ("registrator-bench-reports-" + std::to_string(std::random_device{}()));
};

const Archive& Files() {
    static const Archive archive;
    return archive;
}

void DropFromCache(const Archive& a) {
    for (int d = 0; d < gDays; ++d)
        bench::DropFromPageCache(a.DayPath(d));
}

// The baseline: each day file read once, a megabyte at a time, and nothing done with it.
void ReadMonth(benchmark::State& state, bool cold) {
    const Archive& a = Files();
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            DropFromCache(a);
            state.ResumeTiming();
        }
        std::size_t bytes = 0;
        for (int d = 0; d < gDays; ++d) {
            std::FILE* file = std::fopen(a.DayPath(d).c_str(), "rb");
            while (const std::size_t got = file ? std::fread(buffer.data(), 1, buffer.size(), file) : 0)
                bytes += got;
            if (file)
                std::fclose(file);
        }
        if (bytes != gDays * kDayRecords * sizeof(archive::TArhivRec))
            state.SkipWithError("short read");
        benchmark::ClobberMemory();
    }
}

reports::PeriodFigures Month(const history::ArchiveHistory& history, history::Workspace& work) {
    reports::FiguresRequest request;
    request.From = kFirst;
    request.To = kFirst + gDays;
    request.MakeDigestsAhead = true; // as the window and the tool ask for it
    return reports::CountPeriod(history, request, work);
}

void Check(benchmark::State& state, const reports::PeriodFigures& figures) {
    if (!figures.Troubles.empty() || figures.Plant.RunSeconds <= 0 || figures.Plant.Starts == 0)
        state.SkipWithError("no figures");
}

void BM_MonthFiguresWithDigests(benchmark::State& state) {
    const history::ArchiveHistory history = Files().History();
    history.BuildAll();
    history::Workspace work;
    for (auto _ : state)
        Check(state, Month(history, work));
}

void BM_ReadMonth(benchmark::State& state) {
    ReadMonth(state, false);
}
void BM_ReadMonthCold(benchmark::State& state) {
    ReadMonth(state, true);
}

void MonthWithoutDigests(benchmark::State& state, bool cold) {
    const history::ArchiveHistory history = Files().History();
    history::Workspace work;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(history.DigestFolder());
        if (cold)
            DropFromCache(Files());
        state.ResumeTiming();
        Check(state, Month(history, work));
    }
    history.BuildAll();
}

void BM_MonthFiguresWithoutDigests(benchmark::State& state) {
    MonthWithoutDigests(state, false);
}
void BM_MonthFiguresWithoutDigestsCold(benchmark::State& state) {
    MonthWithoutDigests(state, true);
}

// The digests alone, as the period history makes them: what a report without them cannot do without.
void BM_BuildMonthDigests(benchmark::State& state) {
    const history::ArchiveHistory history = Files().History();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(history.DigestFolder());
        state.ResumeTiming();
        if (history.BuildAll().Built != static_cast<std::size_t>(gDays))
            state.SkipWithError("not every digest was made");
    }
}

void Health(benchmark::State& state, bool cached) {
    const history::ArchiveHistory history = Files().History();
    history.BuildAll();
    history::Workspace work;
    auto cache = std::make_unique<reports::HealthDays>(history);
    for (auto _ : state) {
        if (!cached) {
            state.PauseTiming();
            cache = std::make_unique<reports::HealthDays>(history);
            state.ResumeTiming();
        }
        const auto health = reports::ReadMotorHealth(*cache, kFirst + gDays - 1, 90, {}, work);
        if (health.Days.size() != static_cast<std::size_t>(gDays))
            state.SkipWithError("days missing");
        benchmark::DoNotOptimize(health.Drifts.data());
    }
}

void BM_HealthFirstTime(benchmark::State& state) {
    Health(state, false);
}
void BM_HealthFromCache(benchmark::State& state) {
    Health(state, true);
}

BENCHMARK(BM_ReadMonth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthFiguresWithDigests)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthFiguresWithoutDigests)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildMonthDigests)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMonthCold)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MonthFiguresWithoutDigestsCold)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_HealthFirstTime)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HealthFromCache)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (bench::BriefRun(argc, argv))
        gDays = 2;
    // Aims: the month with its digests under 2 s; without them at most 1.5 times reading the day files.
    return RunBenchmarksWithRatios(
        argc, argv,
        {{"BM_MonthFiguresWithoutDigests", "BM_ReadMonth"},
         {"BM_MonthFiguresWithoutDigestsCold/iterations:3", "BM_ReadMonthCold/iterations:3"},
         {"BM_BuildMonthDigests", "BM_ReadMonth"},
         {"BM_MonthFiguresWithDigests", "BM_ReadMonth"}});
}
