// The cost of one fast tick on the real main window (scan cycle plus label and colour refresh, offscreen)
// against the bare core scan cycle over the same simulated plant, in the same run; and of one slow tick
// (the archive append plus the archive status line) against the bare core history step.
#include "RatioReporter.h"
#include "SilentDialogs.h"
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

using bench::SilentDialogs;

std::filesystem::path BenchFolder() {
    const auto folder = std::filesystem::temp_directory_path() / "registrator-bench-tick";
    std::filesystem::create_directories(folder);
    return folder;
}

struct Rig {
    Rig() : messages(dialogs), guard(dialogs), archive(BenchFolder().string() + "/", clock, messages) {
        for (int n = 1; n <= channels::kChannelCount; ++n)
            data.Ustavki[n] = channels::DefaultUstavka(n);
        data.AvgCount = 5;
        acquisition::PortOptions options;
        options.Simulate = true;
        port = acquisition::MakePort(options, data.Ustavki, clock);
        protocol = std::make_unique<acquisition::ScanProtocol>(*port);
    }
    // Moves the plant on by one fast interval so the currents (and so labels and colours) change.
    void Step() { clock.AdvanceMs(10); }

    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(9, 0, 0, 0)};
    SilentDialogs dialogs;
    ui::PresenterMessages messages;
    ui::HandlerGuard guard;
    channels::ChannelData data;
    archive::Archive archive;
    std::unique_ptr<acquisition::PortAccess> port;
    std::unique_ptr<acquisition::ScanProtocol> protocol;
};

void CoreScanCycle(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        rig.Step();
        benchmark::DoNotOptimize(monitor::RunScanCycle(*rig.protocol, rig.data, rig.clock, rig.messages, {}));
    }
}

// The real main window over the rig, shown and painted once, so that a tick repaints only what it changes.
std::unique_ptr<ui::MainWindow> ShownMainWindow(Rig& rig) {
    auto window = std::make_unique<ui::MainWindow>(
        ui::MainWindow::Services{rig.data, *rig.protocol, rig.archive, rig.clock, rig.messages, rig.guard,
                                 rig.dialogs},
        QStringLiteral("Регистратор"));
    window->show();
    QCoreApplication::processEvents();
    return window;
}

void MainWindowTick(benchmark::State& state) {
    Rig rig;
    auto window = ShownMainWindow(rig);
    for (auto _ : state) {
        rig.Step();
        window->Timer1Timer();
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
        window->Timer2Timer();
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
    std::filesystem::remove_all(BenchFolder(), ignored);
    return status;
}
