// The cost of one fast tick on the real main window (scan cycle plus label and colour refresh, offscreen)
// against the bare core scan cycle over the same simulated plant, in the same run; and of one slow tick
// (the archive append plus the archive status line) against the bare core history step.
#include "PlantRig.h"
#include "RatioReporter.h"
#include "acquisition/PortFactory.h"
#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "monitor/ScanCycle.h"
#include "ui/app/ErrorBoxes.h"
#include "ui/app/Program.h"
#include "ui/monitor/MainWindow.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <filesystem>

using namespace registrator;

namespace {

struct Rig : bench::PlantRig {
    Rig() : PlantRig(bench::BenchFolder("registrator-bench-tick")) {}
};

void CoreScanCycle(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        rig.Step();
        benchmark::DoNotOptimize(monitor::RunScanCycle(*rig.protocol, rig.data, rig.clock, rig.messages, {}));
    }
}

using bench::ShownMainWindow;

void MainWindowTick(benchmark::State& state) {
    Rig rig;
    auto window = ShownMainWindow(rig);
    for (auto _ : state) {
        rig.Step();
        rig.recorder->Timer1Timer();
        // The repaint that the changed labels and panels ask for is part of a tick's cost.
        QCoreApplication::processEvents();
    }
}

void CoreHistoryStep(benchmark::State& state) {
    Rig rig;
    for (auto _ : state)
        monitor::RunHistoryStep(rig.archive, rig.data, rig.clock);
}

void MainWindowSlowTick(benchmark::State& state) {
    Rig rig;
    auto window = ShownMainWindow(rig);
    for (auto _ : state) {
        rig.recorder->Timer2Timer();
        QCoreApplication::processEvents();
    }
}

BENCHMARK(CoreScanCycle)->Unit(benchmark::kMicrosecond);
BENCHMARK(MainWindowTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(CoreHistoryStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(MainWindowSlowTick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int status = RunBenchmarksWithRatios(
        argc, argv, {{"MainWindowTick", "CoreScanCycle"}, {"MainWindowSlowTick", "CoreHistoryStep"}});
    std::error_code ignored;
    std::filesystem::remove_all(bench::BenchFolder("registrator-bench-tick"), ignored);
    return status;
}
