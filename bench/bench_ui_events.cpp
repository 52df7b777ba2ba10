// The fast tick of the real main window with the event detection, the journal and the alarm list
// following every scan cycle, as the running program has them, against the tick without them (ratio).
// The simulated plant starts, stops and overloads its motors, so the journal is written to as it runs.
#include "PlantRig.h"
#include "RatioReporter.h"
#include "events/ActiveAlarms.h"
#include "events/EventJournal.h"
#include "events/MotorEvents.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>

using namespace registrator;

namespace {

struct Rig : bench::PlantRig {
    explicit Rig(bool events)
        : PlantRig(bench::BenchFolder("registrator-bench-events")), window(bench::ShownMainWindow(*this)),
          journal(archive.Folder()) {
        std::filesystem::remove(journal.PathFor(clock.Today()));
        if (events)
            QObject::connect(recorder.get(), &service::Recorder::scanned, [this] {
                found.clear();
                detector.Observe(clock.Now(), data, found);
                for (const events::Event& event : found) {
                    journal.Append(event, data);
                    alarms.Follow(event);
                }
                lines += found.size();
            });
    }

    std::unique_ptr<ui::MainWindow> window;
    events::MotorEventDetector detector;
    events::EventJournal journal;
    events::ActiveAlarms alarms;
    std::vector<events::Event> found;
    std::size_t lines = 0;
};

void Ticks(benchmark::State& state, bool events) {
    Rig rig(events);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bench::Tick(rig);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["journal lines"] = static_cast<double>(rig.lines);
}

void TickWithoutEvents(benchmark::State& state) {
    Ticks(state, false);
}

void TickWithEvents(benchmark::State& state) {
    Ticks(state, true);
}

BENCHMARK(TickWithoutEvents)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(TickWithEvents)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(TickWithoutEvents)->Unit(benchmark::kMicrosecond)->UseManualTime()->Name("TickWithoutEventsAgain");

} // namespace

int main(int argc, char** argv) {
    return bench::RunOffscreenWithRatios(
        argc, argv,
        {{"TickWithEvents/manual_time", "TickWithoutEvents/manual_time"},
         {"TickWithoutEventsAgain/manual_time", "TickWithoutEvents/manual_time"}},
        3.0);
}
