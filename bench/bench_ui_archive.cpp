// A full day (86,400 records) in the archive viewer: the whole refresh (read from disk, table model reset,
// chart replotted and the window painted offscreen) against the read of the readings file alone, in the
// same run. Before the benchmarks it prints the memory the viewer holds with that day loaded.
#include "RatioReporter.h"
#include "ResidentMemory.h"
#include "SilentDialogs.h"
#include "archive/Archive.h"
#include "common/Clock.h"
#include "common/DateTime.h"
#include "service/recorder/HandlerGuard.h"
#include "ui/app/ErrorBoxes.h"
#include "ui/app/Program.h"
#include "ui/archive/ArchiveViewerWindow.h"
#include "ui/widgets/TrendChart.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

using namespace registrator;

namespace {

constexpr int kRecordsPerDay = 86400;
const std::string kDay = "06.12.2026";

using bench::SilentDialogs;

std::filesystem::path Folder() {
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("registrator-bench-archive-" + std::to_string(std::random_device{}()));
    return folder;
}

// One record a second all day, currents wandering as a running plant's do.
void WriteFullDay() {
    std::filesystem::create_directories(Folder());
    std::ofstream out(Folder() / (kDay + ".txt"), std::ios::binary);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-5, 5);
    archive::TArhivRec rec;
    for (int i = 0; i < kRecordsPerDay; ++i) {
        rec.Time = i / 86400.0;
        for (int n = 0; n < 72; ++n)
            rec.Tok[n] = std::max(0.0, std::round(150 + 100 * std::sin(i / 600.0 + n) + noise(random)));
        out.write(reinterpret_cast<const char*>(&rec), sizeof rec);
    }
    std::ofstream snapshot(Folder() / (kDay + "UST.txt"), std::ios::binary);
    archive::TUstRec ust;
    ust.T_Nom = 200;
    ust.T_Max = 240;
    for (int n = 0; n < 72; ++n)
        snapshot.write(reinterpret_cast<const char*>(&ust), sizeof ust);
}

struct Rig {
    Rig()
        : messages(dialogs), guard(dialogs), archive(Folder().string() + "/", clock, messages),
          viewer({archive, data, clock, common::RegionalSettings::Russian(), messages, guard}) {
        for (int n = 1; n <= channels::kChannelCount; ++n)
            data.Ustavki[n] = channels::DefaultUstavka(n);
        viewer.resize(1036, 641);
        viewer.show();
        QCoreApplication::processEvents();
    }
    // The refresh as "обновить" runs it, then the queued replot and the repaint the event loop does.
    void Refresh() {
        viewer.RefreshArhiv();
        QCoreApplication::processEvents();
    }

    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(23, 59, 59, 0)};
    SilentDialogs dialogs;
    service::PresenterMessages messages;
    service::HandlerGuard guard;
    channels::ChannelData data;
    archive::Archive archive;
    ui::ArchiveViewerWindow viewer;
};

using bench::ResidentMegabytes;

void ReportMemory() {
    const double before = ResidentMegabytes();
    Rig rig;
    const double shown = ResidentMegabytes();
    rig.Refresh();
    const double loaded = ResidentMegabytes();
    std::printf(
        "memory: viewer shown empty +%.1f MB, a full day loaded +%.1f MB more (RSS %.1f MB; %zu records "
        "on the chart)\n",
        shown - before, loaded - shown, loaded,
        static_cast<std::size_t>(rig.viewer.Chart1()->graph(0)->dataCount()));
}

void ReadArhivFullDay(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        rig.archive.ReadArhiv(kDay);
        benchmark::DoNotOptimize(rig.archive.ArhivCount);
    }
}

void RefreshArhivFullDay(benchmark::State& state) {
    Rig rig;
    rig.Refresh();
    if (rig.viewer.Chart1()->graph(0)->dataCount() != kRecordsPerDay)
        state.SkipWithError("the chart does not hold the whole day");
    for (auto _ : state)
        rig.Refresh();
}

BENCHMARK(ReadArhivFullDay)->Unit(benchmark::kMillisecond);
BENCHMARK(RefreshArhivFullDay)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    WriteFullDay();
    ReportMemory();
    const int status = RunBenchmarksWithRatios(argc, argv, {{"RefreshArhivFullDay", "ReadArhivFullDay"}});
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
    return status;
}
