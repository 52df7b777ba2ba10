// Period history over 30 full days (86,400 records each, about 1.5 GB): making the month's digests
// against reading the same day files once, then charting a month of 8 motors, a year of one (365 days
// as links to the 30 files and their digests), one hour of records, and the CSV of a month per record
// against a plain reader writing the same text. "Cold" runs drop the day files from the page cache first.
#include "RatioReporter.h"
#include "history/PeriodCsv.h"
#include "history/PeriodQuery.h"

#include <benchmark/benchmark.h>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace registrator;
namespace fs = std::filesystem;

constexpr std::size_t kDayRecords = 86400;
constexpr int kDays = 30;
const common::TDateTime kFirst = common::EncodeDate(2026, 1, 1);
const common::TDateTime kYearFirst = common::EncodeDate(2027, 1, 1);

channels::UstavkiTable Present() {
    channels::UstavkiTable table;
    for (int n = 1; n <= 72; ++n) {
        table[n] = channels::DefaultUstavka(n);
        table[n].Oborot = 10;
        table[n].T_Nom = 100 + n;
        table[n].T_Max = 150 + n;
    }
    return table;
}

// Motors as a station has them: each runs near its own load with a little noise, stops for a while a few
// times a day, and now and then runs above its nominal current; whole amperes, as the recorder stores them.
std::vector<archive::TArhivRec> MakeDay() {
    std::vector<archive::TArhivRec> day(kDayRecords);
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    double load[72];
    int left[72] = {};
    for (int c = 0; c < 72; ++c)
        load[c] = 40 + c;
    for (std::size_t i = 0; i < kDayRecords; ++i) {
        day[i].Time = static_cast<double>(i) / kDayRecords;
        for (int c = 0; c < 72; ++c) {
            if (--left[c] <= 0) {
                const std::uint32_t pick = next() % 10;
                load[c] = pick < 2 ? 0 : pick < 3 ? 130 + c : 40 + c + static_cast<double>(next() % 30);
                left[c] = 600 + static_cast<int>(next() % 7200);
            }
            day[i].Tok[c] = load[c] == 0 ? 0.0 : load[c] + static_cast<double>(next() % 3);
        }
    }
    return day;
}

struct Archive {
    Archive() {
        fs::create_directories(Month);
        fs::create_directories(Year);
        std::vector<archive::TArhivRec> day = MakeDay();
        for (int d = 0; d < kDays; ++d) {
            day[0].Tok[0] = d; // each day a file of its own
            const int fd = ::open(MonthDay(d).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const auto bytes = static_cast<ssize_t>(day.size() * sizeof(archive::TArhivRec));
            if (fd < 0 || ::write(fd, day.data(), static_cast<std::size_t>(bytes)) != bytes)
                std::abort();
            ::close(fd);
        }
        // The year: each day a link to one of the month's files and, once made, to its digest.
        const history::ArchiveHistory month(Month.string(), Present());
        month.BuildAll();
        const history::ArchiveHistory year(Year.string(), Present());
        fs::create_directories(year.DigestFolder());
        for (int d = 0; d < 365; ++d) {
            const common::TDateTime from = kFirst + d % kDays;
            fs::create_hard_link(month.DayPath(from), year.DayPath(kYearFirst + d));
            fs::create_hard_link(month.DigestPath(from), year.DigestPath(kYearFirst + d));
        }
        // The newest day would be read as a growing one; the year ends with a day of its own.
        fs::remove(year.DigestPath(kYearFirst + 364));
        year.BuildAll();
    }
    ~Archive() {
        std::error_code ignored;
        fs::remove_all(Root, ignored);
    }
    std::string MonthDay(int d) const {
        return (Month / (common::ArchiveDateText(kFirst + d) + ".txt")).string();
    }

    fs::path Root =
        fs::temp_directory_path() / ("registrator-bench-history-" + std::to_string(std::random_device{}()));
    fs::path Month = Root / "month";
    fs::path Year = Root / "year";
};

const Archive& Files() {
    static const Archive archive;
    return archive;
}

void DropFromCache(const Archive& a) {
    for (int d = 0; d < kDays; ++d) {
        const int fd = ::open(a.MonthDay(d).c_str(), O_RDONLY);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
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

// The same text from a reader of the benchmark's own: blocks of records, a date, the time and one number.
void BM_CsvMonthPlainReader(benchmark::State& state) {
    const Archive& a = Files();
    std::vector<archive::TArhivRec> block(4096);
    std::string text;
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (int d = 0; d < kDays; ++d) {
            const std::string date = common::ArchiveDateText(kFirst + d) + ",";
            const int fd = ::open(a.MonthDay(d).c_str(), O_RDONLY);
            for (ssize_t got;
                 (got = ::read(fd, block.data(), block.size() * sizeof(archive::TArhivRec))) > 0;) {
                for (std::size_t i = 0; i < static_cast<std::size_t>(got) / sizeof(archive::TArhivRec); ++i) {
                    const auto ms = std::llround(block[i].Time * 86400000.0);
                    char row[96];
                    char* p = row;
                    for (const int part : {static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                                           static_cast<int>(ms / 1000 % 60)}) {
                        *p++ = static_cast<char>('0' + part / 10);
                        *p++ = static_cast<char>('0' + part % 10);
                        *p++ = ':';
                    }
                    p[-1] = '.';
                    const int milli = static_cast<int>(ms % 1000);
                    *p++ = static_cast<char>('0' + milli / 100);
                    *p++ = static_cast<char>('0' + milli / 10 % 10);
                    *p++ = static_cast<char>('0' + milli % 10);
                    *p++ = ',';
                    p = std::to_chars(p, row + sizeof row, block[i].Tok[16], std::chars_format::general, 15)
                            .ptr;
                    *p++ = '\r';
                    *p++ = '\n';
                    text += date;
                    text.append(row, static_cast<std::size_t>(p - row));
                }
                bytes += text.size();
                text.clear();
            }
            ::close(fd);
        }
        benchmark::DoNotOptimize(bytes);
    }
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
