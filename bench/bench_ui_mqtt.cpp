// The fast tick of the real main window while the MQTT publisher replays a full day's backlog
// (86,400 records) to a local mosquitto broker, flat out and at the default 200 records a second,
// against the tick with no publisher (ratios); and how long the flat-out replay takes on loopback.
#include "PlantRig.h"
#include "RatioReporter.h"
#include "archive/RecordFiles.h"
#include "service/mqtt/MqttPublisher.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace registrator;

namespace {

constexpr std::uint64_t kDay = 86400;

// A private broker for the run, on its own port.
class Broker {
public:
    Broker() {
        const auto folder = std::filesystem::temp_directory_path() / "registrator-bench-mqtt-broker";
        std::filesystem::create_directories(folder);
        port_ = 20000 + static_cast<int>(getpid() % 20000);
        const std::string conf = (folder / "mosquitto.conf").string();
        std::ofstream(conf) << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\nlog_dest none\n";
        std::string program = "mosquitto", flag = "-c", file = conf;
        char* argv[] = {program.data(), flag.data(), file.data(), nullptr};
        if (posix_spawnp(&pid_, "mosquitto", nullptr, nullptr, argv, environ) != 0)
            throw std::runtime_error("mosquitto did not start");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~Broker() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    int Port() const { return port_; }

private:
    int port_ = 0;
    pid_t pid_ = 0;
};

Broker& TheBroker() {
    static Broker broker;
    return broker;
}

struct Rig : bench::PlantRig {
    Rig() : PlantRig(bench::BenchFolder("registrator-bench-mqtt")), window(bench::ShownMainWindow(*this)) {
        // The day's backlog, written once: 86,400 records of the plant's currents.
        const std::string path = archive.Folder() + common::ArchiveDateText(clock.Today()) + ".txt";
        std::error_code error;
        if (std::filesystem::file_size(path, error) != kDay * archive::kArhivRecSize) {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            archive::TArhivRec record;
            for (std::uint64_t i = 0; i < kDay; ++i) {
                record.Time = static_cast<double>(i) / kDay;
                for (int n = 0; n < 72; ++n)
                    record.Tok[n] = static_cast<double>((i * 7 + static_cast<std::uint64_t>(n) * 13) % 700);
                out.write(reinterpret_cast<const char*>(&record), sizeof record);
            }
        }
    }
    // A publisher from the day's first record, as after an outage of a whole day.
    std::unique_ptr<service::MqttPublisher> Replay(double recordsPerSecond = 0) {
        std::filesystem::remove(archive.Folder() + "bench.cursor");
        service::MqttSettings settings;
        settings.Host = "127.0.0.1";
        settings.Port = TheBroker().Port();
        settings.Station = "bench";
        settings.RecordsPerSecond = recordsPerSecond;
        settings.ArchiveFolder = archive.Folder();
        settings.CursorPath = archive.Folder() + "bench.cursor";
        settings.StartDay = clock.Today();
        settings.OnlineStatus = "{\"state\":\"online\"}";
        settings.OfflineStatus = "{\"state\":\"offline\"}";
        auto publisher = std::make_unique<service::MqttPublisher>(settings);
        publisher->Start();
        return publisher;
    }
    void Tick() { bench::Tick(*this); }

    std::unique_ptr<ui::MainWindow> window;
};

// Timed alike, tick by tick, so that the two compare.
void TimedTick(benchmark::State& state, Rig& rig) {
    const auto start = std::chrono::steady_clock::now();
    rig.Tick();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

void TickWithoutPublisher(benchmark::State& state) {
    Rig rig;
    for (auto _ : state)
        TimedTick(state, rig);
}

// Only the ticks that ran while the replay was under way count: flat out (0), and at the default rate.
void TickWhileReplaying(benchmark::State& state) {
    Rig rig;
    const double rate = static_cast<double>(state.range(0));
    auto publisher = rig.Replay(rate);
    for (auto _ : state) {
        if (publisher->State().Acknowledged >= kDay)
            publisher = rig.Replay(rate);
        TimedTick(state, rig);
    }
}

void ReplayFullDay(benchmark::State& state) {
    Rig rig;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto publisher = rig.Replay();
        while (publisher->State().Acknowledged < kDay) {
            if (std::chrono::steady_clock::now() - start > std::chrono::minutes(5)) {
                state.SkipWithError(("no replay: " + publisher->State().Problem).c_str());
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    state.counters["records/s"] = static_cast<double>(kDay) / seconds;
}

BENCHMARK(TickWithoutPublisher)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseManualTime();
BENCHMARK(TickWhileReplaying)->Arg(0)->Arg(200)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseManualTime();
BENCHMARK(ReplayFullDay)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    TheBroker();
    return bench::RunOffscreenWithRatios(argc, argv,
                                         {{"TickWhileReplaying/0/min_time:2.000/manual_time",
                                           "TickWithoutPublisher/min_time:2.000/manual_time"},
                                          {"TickWhileReplaying/200/min_time:2.000/manual_time",
                                           "TickWithoutPublisher/min_time:2.000/manual_time"}});
}
