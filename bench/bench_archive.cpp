// Loading a full day of readings (86,400 records, about 50 MB) with ReadArhiv, against a plain
// sequential read of the same file into memory. Both run warm, from the page cache.
#include "RatioReporter.h"
#include "archive/Archive.h"
#include "common/Clock.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace registrator;

constexpr std::size_t kDayRecords = 86400;
const std::string kDay = "06.12.2026";

class SilentMessages final : public common::OperatorMessages {
public:
    void Show(const std::string&) override { ++Count; }
    int Count = 0;
};

// The generated day, removed when the program ends.
struct DayFile {
    DayFile() {
        std::filesystem::create_directories(Folder);
        std::vector<archive::TArhivRec> records(kDayRecords);
        std::mt19937 random(7);
        for (std::size_t i = 0; i < kDayRecords; ++i) {
            records[i].Time = static_cast<double>(i) / kDayRecords;
            for (double& tok : records[i].Tok)
                tok = static_cast<double>(random() % 700);
        }
        std::ofstream out(Path(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(records.data()),
                  static_cast<std::streamsize>(records.size() * sizeof(archive::TArhivRec)));
    }
    ~DayFile() {
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }
    std::string Path() const { return (Folder / (kDay + ".txt")).string(); }

    std::filesystem::path Folder = std::filesystem::temp_directory_path() /
                                   ("registrator-bench-archive-" + std::to_string(std::random_device{}()));
};

const DayFile& Day() {
    static const DayFile day;
    return day;
}

void BM_PlainSequentialRead(benchmark::State& state) {
    const std::string path = Day().Path();
    std::vector<char> memory(kDayRecords * sizeof(archive::TArhivRec));
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::size_t total = 0;
        while (total < memory.size()) {
            const std::size_t got = std::fread(memory.data() + total, 1,
                                               std::min<std::size_t>(1 << 20, memory.size() - total), file);
            if (got == 0)
                break;
            total += got;
        }
        std::fclose(file);
        if (total != memory.size())
            state.SkipWithError("short read");
        benchmark::DoNotOptimize(memory.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * memory.size()));
}

void BM_ReadArhivFullDay(benchmark::State& state) {
    Day();
    common::SettableClock clock;
    SilentMessages messages;
    archive::Archive archive(Day().Folder.string() + "/", clock, messages);
    for (auto _ : state) {
        archive.ReadArhiv(kDay);
        benchmark::DoNotOptimize(archive.ArhivBuf.data());
        benchmark::ClobberMemory();
    }
    if (archive.ArhivCount != kDayRecords || messages.Count != 0)
        state.SkipWithError("the day did not load whole");
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * kDayRecords * sizeof(archive::TArhivRec)));
}

BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadArhivFullDay)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // Aim: at most 1.5.
    return RunBenchmarksWithRatios(argc, argv, {{"BM_ReadArhivFullDay", "BM_PlainSequentialRead"}});
}
