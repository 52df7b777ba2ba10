// Period history over 30 full days (86,400 records each, about 1.5 GB): making the month's digests
// against reading the same day files once, then charting a month of 8 motors, a year of one (365 days
// as links to the 30 files and their digests), one hour of records, and the CSV of a month per record
// against a plain reader writing the same text. "Cold" runs drop the day files from the page cache first.
#include "HistoryRig.h"
#include "PageCache.h"
#include "RatioReporter.h"
#include "history/PeriodCsv.h"
#include "history/PeriodQuery.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace registrator;
namespace fs = std::filesystem;

using bench::Files;
using bench::kDayRecords;
using bench::kDays;
using bench::kFirst;
using bench::kYearFirst;
using Archive = bench::HistoryFiles;
const auto Present = bench::HistoryPresent;

void DropFromCache(const Archive& a) {
    for (int d = 0; d < kDays; ++d)
        bench::DropFromPageCache(a.MonthDay(d));
}

void ReadMonth(benchmark::State& state, bool cold) {
    const Archive& a = Files();
    std::vector<char> buffer(kDayRecords * sizeof(archive::TArhivRec));
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            DropFromCache(a);
            state.ResumeTiming();
        }
        for (int d = 0; d < kDays; ++d) {
            const int fd = ::open(a.MonthDay(d).c_str(), O_RDONLY);
            std::size_t total = 0;
            for (ssize_t got; (got = ::read(fd, buffer.data() + total, buffer.size() - total)) > 0;)
                total += static_cast<std::size_t>(got);
            ::close(fd);
            if (total != buffer.size())
                state.SkipWithError("short read");
        }
        benchmark::ClobberMemory();
    }
}

void BuildMonth(benchmark::State& state, bool cold) {
    const Archive& a = Files();
    const history::ArchiveHistory month(a.Month.string(), Present());
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(month.DigestFolder());
        if (cold)
            DropFromCache(a);
        state.ResumeTiming();
        if (month.BuildAll().Built != kDays)
            state.SkipWithError("not every digest was made");
    }
    std::error_code error;
    state.counters["digest_bytes_per_day"] =
        static_cast<double>(fs::file_size(month.DigestPath(kFirst), error));
}

void BM_ReadMonthWarm(benchmark::State& state) {
    ReadMonth(state, false);
}
void BM_BuildMonthWarm(benchmark::State& state) {
    BuildMonth(state, false);
}
void BM_ReadMonthCold(benchmark::State& state) {
    ReadMonth(state, true);
}
void BM_BuildMonthCold(benchmark::State& state) {
    BuildMonth(state, true);
}

void Query(benchmark::State& state, const fs::path& folder, const history::SeriesRequest& request) {
    const history::ArchiveHistory history(folder.string(), Present());
    history::Workspace work;
    for (auto _ : state) {
        const history::SeriesAnswer answer = history::QuerySeries(history, request, work);
        if (answer.Channels.empty() || answer.Channels[0].Points.empty() || !answer.Troubles.empty())
            state.SkipWithError("no points");
        benchmark::DoNotOptimize(answer.Channels.data());
    }
}

void BM_QueryMonthOf8Motors(benchmark::State& state) {
    Query(state, Files().Month, {kFirst, kFirst + kDays, {1, 9, 17, 25, 33, 41, 57, 72}, 2000});
}
void BM_QueryYearOf1Motor(benchmark::State& state) {
    Query(state, Files().Year, {kYearFirst, kYearFirst + 365, {17}, 2000});
}
void BM_QueryHourOfRecords(benchmark::State& state) {
    const common::TDateTime noon = kFirst + 10.5;
    Query(state, Files().Month, {noon, noon + 1.0 / 24, {1, 9, 17, 25, 33, 41, 57, 72}, 2000});
}

void BM_CsvMonthPerRecord(benchmark::State& state) {
    const history::ArchiveHistory history(Files().Month.string(), Present());
    history::Workspace work;
    for (auto _ : state) {
        std::size_t bytes = 0;
        const auto outcome = history::WritePeriodCsv(
            history, {kFirst, kFirst + kDays, {17}, history::CsvRows::PerRecord},
            [&](std::string_view part) {
                bytes += part.size();
                return true;
            },
            work);
        if (outcome.Rows != kDays * kDayRecords)
            state.SkipWithError("rows missing");
        benchmark::DoNotOptimize(bytes);
    }
}

// The same text from a reader of the benchmark's own.
void BM_CsvMonthPlainReader(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::PlainMonthCsv(Files(), 16));
}

BENCHMARK(BM_ReadMonthWarm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildMonthWarm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMonthCold)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BuildMonthCold)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_QueryMonthOf8Motors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueryYearOf1Motor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueryHourOfRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvMonthPerRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvMonthPlainReader)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // Aims: building at most 1.3 times reading; the CSV within 2 times the plain reader; the month of 8
    // motors and the year of one each under 100 ms, the hour of records under 20 ms.
    return RunBenchmarksWithRatios(argc, argv,
                                   {{"BM_BuildMonthWarm", "BM_ReadMonthWarm"},
                                    {"BM_BuildMonthCold/iterations:3", "BM_ReadMonthCold/iterations:3"},
                                    {"BM_CsvMonthPerRecord", "BM_CsvMonthPlainReader"}});
}
