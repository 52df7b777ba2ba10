// The period window over a month of full days (86,400 records each) ending today, 8 motors: from the
// request to the drawn chart against the core query alone (digests made ahead, as on a station that has
// used the window before); zoomed to an hour of 1 s records against the core query of that hour; and a
// second of the recorder's ticks (one slow that writes a record, 100 fast) with the window open on the
// month or on today and following it live, against the same second of another station without the
// window, in turn. First of all, the memory the window holds with the month shown.
#include "PlantRig.h"
#include "ResidentMemory.h"
#include "history/PeriodQuery.h"
#include "ui/period/PeriodWindow.h"
#include "ui/widgets/PeriodTrendChart.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <ctime>
#include <fstream>
#include <optional>
#include <random>

using namespace registrator;
namespace fs = std::filesystem;

namespace {

const common::TDateTime kToday = common::EncodeDate(2026, 12, 6);
const std::vector<int> kEight = {1, 9, 17, 25, 33, 41, 57, 72};
constexpr int kDays = 30;

fs::path Folder() {
    static const fs::path folder =
        fs::temp_directory_path() / ("registrator-bench-period-" + std::to_string(std::random_device{}()));
    return folder;
}

// Records a second apart from `from` to `to` (seconds of the day): each motor swings about its own load
// over the day, whole amperes as the recorder stores them.
void WriteRecords(const fs::path& path, int from, int to) {
    std::vector<archive::TArhivRec> records(static_cast<std::size_t>(to - from));
    for (int s = from; s < to; ++s) {
        archive::TArhivRec& r = records[static_cast<std::size_t>(s - from)];
        r.Time = s / 86400.0;
        for (int c = 0; c < 72; ++c)
            r.Tok[c] = std::round(40 + c + 30 * std::sin(s / (1800.0 + 40 * c)) + (s * (c + 7)) % 5);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(records.data()),
               static_cast<std::streamsize>(records.size() * sizeof(archive::TArhivRec)));
}

// The month before today as links to one full day and to its digest, and today until 09:00.
void WriteMonth(const channels::UstavkiTable& present) {
    const history::ArchiveHistory history(Folder().string(), present);
    fs::create_directories(history.DigestFolder());
    const common::TDateTime first = kToday - (kDays - 1);
    WriteRecords(history.DayPath(first), 0, 86400);
    history::Workspace work;
    if (!history.OpenDay(first, history::Need::Band, false, work).Built)
        std::abort();
    for (common::TDateTime day = first + 1; day < kToday; ++day) {
        fs::create_hard_link(history.DayPath(first), history.DayPath(day));
        fs::create_hard_link(history.DigestPath(first), history.DigestPath(day));
    }
    WriteRecords(history.DayPath(kToday), 0, 9 * 3600);
}

struct Rig : bench::PlantRig {
    explicit Rig(const std::string& folder = Folder().string() + "/") : PlantRig(folder) {}
    std::unique_ptr<ui::PeriodWindow> OpenWindow() {
        auto window = std::make_unique<ui::PeriodWindow>(ui::PeriodWindow::Services{
            archive, data, clock, common::RegionalSettings::Russian(), messages, guard});
        window->resize(1100, 640);
        window->SetMotors(kEight);
        window->ShowModeless();
        Settle(*window);
        return window;
    }
    // Until every answer asked for is drawn and painted.
    static void Settle(ui::PeriodWindow& window) {
        while (window.Waiting())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
    }
};

ui::PeriodSpan Month() {
    return ui::PeriodEndingOn(ui::PeriodKind::Month, kToday);
}

using bench::ResidentMegabytes;

// The resident memory the window adds: shown empty (its pixels), then with the month drawn (the reader's
// memory on the worker thread, about 10 MB once today's digest was made, and the series).
void WindowMemoryMonthOf8Motors(benchmark::State& state) {
    Rig rig;
    auto main = bench::ShownMainWindow(rig);
    std::unique_ptr<ui::PeriodWindow> window;
    for (auto _ : state) {
        const double before = ResidentMegabytes();
        window = std::make_unique<ui::PeriodWindow>(ui::PeriodWindow::Services{
            rig.archive, rig.data, rig.clock, common::RegionalSettings::Russian(), rig.messages, rig.guard});
        window->resize(1100, 640);
        window->show();
        QCoreApplication::processEvents();
        const double empty = ResidentMegabytes();
        window->SetMotors(kEight);
        window->SetPeriod(Month());
        Rig::Settle(*window);
        state.counters["MB"] = ResidentMegabytes() - before;
        state.counters["empty_MB"] = empty - before;
    }
    std::size_t points = 0;
    for (int k = 0; k < window->Chart()->MotorCount(); ++k)
        points +=
            static_cast<std::size_t>(window->Chart()->graph(window->Chart()->MeanSeries(k))->dataCount());
    state.counters["points"] = static_cast<double>(points);
}

void CoreQueryMonthOf8Motors(benchmark::State& state) {
    Rig rig;
    auto window = rig.OpenWindow();
    window->SetPeriod(Month());
    Rig::Settle(*window);
    // As wide as the window asks.
    const history::SeriesRequest request = window->Plot().Get(ui::PlotPart::Whole)->Request;
    const history::ArchiveHistory history(Folder().string(), rig.data.Ustavki);
    history::Workspace work;
    for (auto _ : state)
        benchmark::DoNotOptimize(history::QuerySeries(history, request, work));
}

void WindowMonthOf8Motors(benchmark::State& state) {
    Rig rig;
    auto window = rig.OpenWindow();
    for (auto _ : state) {
        window->SetPeriod(Month());
        Rig::Settle(*window);
    }
    if (window->Chart()->graph(0)->dataCount() < 100)
        state.SkipWithError("the month is not drawn");
}

const common::TDateTime kNoon = kToday - 10 + 0.5;

void CoreQueryHourOfRecords(benchmark::State& state) {
    const history::ArchiveHistory history(Folder().string(), channels::UstavkiTable{});
    history::Workspace work;
    for (auto _ : state)
        benchmark::DoNotOptimize(history::QuerySeries(history, {kNoon, kNoon + 1.0 / 24, kEight, 800}, work));
}

void WindowZoomHourOfRecords(benchmark::State& state) {
    Rig rig;
    auto window = rig.OpenWindow();
    window->SetPeriod(Month());
    Rig::Settle(*window);
    // Two hours far apart in turn, so that each zoom asks anew.
    for (int i = 0; state.KeepRunning(); ++i) {
        const common::TDateTime from = kNoon + (i % 2) * 0.25;
        window->ShowRange(from, from + 1.0 / 24);
        Rig::Settle(*window);
    }
    if (!window->Plot().InView()->Answer.FromRecords)
        state.SkipWithError("not zoomed to records");
}

// A second of recording: the slow tick that writes a record, then 100 fast ticks, during which the
// window's answer to that record comes back and is drawn. The processor time it took, the window's
// reading thread included; unlike the time on the clock, other programs on the machine do not add to it.
double RecordOneSecond(Rig& rig) {
    const std::clock_t start = std::clock();
    rig.recorder->Timer2Timer();
    QCoreApplication::processEvents();
    for (int i = 0; i < 100; ++i)
        bench::Tick(rig);
    return static_cast<double>(std::clock() - start);
}

// Seconds of two stations in turn, so that whatever else the machine does falls on both alike: one
// without the period window, the other with it open on the `kind` ending today and following it, or
// without it too (how far the figures spread). The counter "ratio" is the second's total processor
// time over the first's.
void SecondsInTurn(benchmark::State& state, std::optional<ui::PeriodKind> kind) {
    Rig plain(bench::BenchFolder("registrator-bench-period-plain"));
    Rig watched;
    auto plainMain = bench::ShownMainWindow(plain);
    auto watchedMain = bench::ShownMainWindow(watched);
    std::unique_ptr<ui::PeriodWindow> window;
    if (kind) {
        window = watched.OpenWindow();
        window->SetPeriod(ui::PeriodEndingOn(*kind, kToday));
        Rig::Settle(*window);
        QObject::connect(watched.recorder.get(), &service::Recorder::historyStepped, window.get(),
                         &ui::PeriodWindow::FollowRecord);
    }
    // Seconds before the measured ones, so that the first of them pay for nothing the others do not.
    for (int i = 0; i < 10; ++i) {
        RecordOneSecond(plain);
        RecordOneSecond(watched);
    }
    double without = 0;
    double with = 0;
    for (auto _ : state) {
        without += RecordOneSecond(plain);
        with += RecordOneSecond(watched);
    }
    if (window)
        Rig::Settle(*window);
    state.counters["ratio"] = with / without;
}

BENCHMARK(WindowMemoryMonthOf8Motors)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(CoreQueryMonthOf8Motors)->Unit(benchmark::kMillisecond);
BENCHMARK(WindowMonthOf8Motors)->Unit(benchmark::kMillisecond);
BENCHMARK(CoreQueryHourOfRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(WindowZoomHourOfRecords)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SecondsInTurn, FollowingMonth, ui::PeriodKind::Month)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SecondsInTurn, FollowingToday, ui::PeriodKind::Day)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SecondsInTurn, NoWindowEither, std::nullopt)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    channels::UstavkiTable present;
    for (int n = 1; n <= channels::kChannelCount; ++n)
        present[n] = channels::DefaultUstavka(n);
    WriteMonth(present);
    // Aims: the month drawn within 100 ms, the hour of records within 20 ms, a second of ticks following
    // live within 1.05 times the second without the window (the counter "ratio"), the window within 20 MB.
    // Two seconds a case at least: a second of ticks is some 30 ms, and the ratios want many of them.
    const int status = RunBenchmarksWithRatios(argc, argv,
                                               {{"WindowMonthOf8Motors", "CoreQueryMonthOf8Motors"},
                                                {"WindowZoomHourOfRecords", "CoreQueryHourOfRecords"}},
                                               2);
    std::error_code ignored;
    fs::remove_all(Folder(), ignored);
    fs::remove_all(bench::BenchFolder("registrator-bench-period-plain"), ignored);
    return status;
}
