// Load-all and save-all of the 72 channel settings against a plain read and a plain write of a file
// of the same size, in the same run. Save-all replaces the file atomically and waits for the disk,
// so it is also set against a plain write that waits for the disk.
#include "RatioReporter.h"
#include "channels/SettingsFile.h"
#include "common/MotorName.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#else
#include <io.h>
#endif

namespace {

using namespace registrator;

struct Files {
    Files() {
        std::filesystem::create_directories(Folder);
        for (int n = 1; n <= channels::kChannelCount; ++n) {
            Ustavki[n] = channels::DefaultUstavka(n);
            Ustavki[n].Name = common::MotorName::FromUtf8("Конвейер ленточный №" + std::to_string(n));
            Ustavki[n].Koof_K = 0.6803 + n / 1000.0;
            Ustavki[n].Koof_B = 1.0 / 3;
        }
        channels::SettingsFile settings(SettingsPath(), common::RegionalSettings::Russian());
        settings.SaveAll(Ustavki);
        std::ifstream in(SettingsPath(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        Bytes = bytes.str();
    }
    ~Files() {
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }
    std::string SettingsPath() const { return (Folder / "Registrator.INI").string(); }
    std::string PlainPath() const { return (Folder / "plain.bin").string(); }

    std::filesystem::path Folder = std::filesystem::temp_directory_path() /
                                   ("registrator-bench-settings-" + std::to_string(std::random_device{}()));
    channels::UstavkiTable Ustavki;
    std::string Bytes;
};

const Files& Data() {
    static const Files files;
    return files;
}

bool PlainWrite(const std::string& path, const std::string& bytes, bool sync) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
    if (sync) {
#ifdef _WIN32
        ok = ok && _commit(_fileno(file)) == 0;
#else
        ok = ok && fsync(fileno(file)) == 0;
#endif
    }
    return std::fclose(file) == 0 && ok;
}

void BM_PlainRead(benchmark::State& state) {
    const std::string path = Data().SettingsPath();
    std::string buffer(Data().Bytes.size(), '\0');
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        const std::size_t got = file ? std::fread(buffer.data(), 1, buffer.size(), file) : 0;
        if (file)
            std::fclose(file);
        if (got != buffer.size())
            state.SkipWithError("short read");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["bytes"] = static_cast<double>(buffer.size());
}

void BM_LoadAll(benchmark::State& state) {
    channels::SettingsFile settings(Data().SettingsPath(), common::RegionalSettings::Russian());
    channels::UstavkiTable ustavki;
    for (auto _ : state) {
        settings.LoadAll(ustavki, [](int channel) { benchmark::DoNotOptimize(channel); });
        benchmark::DoNotOptimize(&ustavki);
    }
    if (!(ustavki[72].Name == Data().Ustavki[72].Name))
        state.SkipWithError("the settings did not load back");
}

void BM_PlainWrite(benchmark::State& state) {
    for (auto _ : state)
        if (!PlainWrite(Data().PlainPath(), Data().Bytes, false))
            state.SkipWithError("write failed");
}

void BM_PlainWriteSynced(benchmark::State& state) {
    for (auto _ : state)
        if (!PlainWrite(Data().PlainPath(), Data().Bytes, true))
            state.SkipWithError("write failed");
}

void BM_SaveAll(benchmark::State& state) {
    channels::SettingsFile settings(Data().SettingsPath(), common::RegionalSettings::Russian());
    for (auto _ : state)
        settings.SaveAll(Data().Ustavki, [](int channel) { benchmark::DoNotOptimize(channel); });
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadAll)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainWriteSynced)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveAll)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // Aim: save-all well under 100 ms in absolute terms; most of it is the wait for the disk.
    return RunBenchmarksWithRatios(argc, argv,
                                   {{"BM_LoadAll", "BM_PlainRead"},
                                    {"BM_SaveAll", "BM_PlainWrite"},
                                    {"BM_SaveAll", "BM_PlainWriteSynced"}});
}
