// The fast tick of the real main window while the MQTT publisher replays a full day's backlog
// (86,400 records; an hour's in a brief run) to a local mosquitto broker, flat out and at the default 200
// records a second, against the tick with no publisher (ratios); and how long the flat-out replay takes on
// loopback.
#include "PlantRig.h"
#include "RatioReporter.h"
#include "archive/RecordFiles.h"
#include "service/mqtt/MqttPublisher.h"

#include <QApplication>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace registrator;

namespace {

constexpr std::uint64_t kDay = 86400;

// A port nobody listens on now.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port for the broker");
    ::close(fd);
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// A private broker for the run, on its own port, listening by the time it is made.
class Broker {
public:
    Broker() {
        const auto folder = std::filesystem::temp_directory_path() / "registrator-bench-mqtt-broker";
        std::filesystem::create_directories(folder);
        port_ = FreePort();
        conf_ = folder / ("mosquitto-" + std::to_string(getpid()) + ".conf");
        const std::string conf = conf_.string();
        std::ofstream(conf) << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\nlog_dest none\n";
        pid_ = fork();
        if (pid_ == 0) {
            // Ends with the benchmark, however that ends (a test's timeout too).
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            execlp("mosquitto", "mosquitto", "-c", conf.c_str(), nullptr);
            _exit(127);
        }
        if (pid_ < 0)
            throw std::runtime_error("mosquitto did not start");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!Accepts(port_)) {
            if (std::chrono::steady_clock::now() > deadline || waitpid(pid_, nullptr, WNOHANG) == pid_)
                throw std::runtime_error("mosquitto does not listen on its port");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Broker() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        std::error_code ignored;
        std::filesystem::remove(conf_, ignored);
    }
    int Port() const { return port_; }

private:
    std::filesystem::path conf_;
    int port_ = 0;
    pid_t pid_ = 0;
};

Broker& TheBroker() {
    static Broker broker;
    return broker;
}

struct Rig : bench::PlantRig {
    // `backlog` records of the day to replay: a whole day, or an hour in a brief run.
    explicit Rig(std::uint64_t backlog)
        : PlantRig(bench::BenchFolder("registrator-bench-mqtt")), window(bench::ShownMainWindow(*this)),
          records(backlog) {
        // The backlog, written once: a record a second of the plant's currents.
        const std::string path = archive.Folder() + common::ArchiveDateText(clock.Today()) + ".txt";
        std::error_code error;
        if (std::filesystem::file_size(path, error) != records * archive::kArhivRecSize) {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            archive::TArhivRec record;
            for (std::uint64_t i = 0; i < records; ++i) {
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
        auto publisher = std::make_unique<service::MqttPublisher>(settings, clock);
        publisher->Start();
        return publisher;
    }
    void Tick() { bench::Tick(*this); }

    std::unique_ptr<ui::MainWindow> window;
    std::uint64_t records;
};

// Timed alike, tick by tick, so that the two compare.
void TimedTick(benchmark::State& state, Rig& rig) {
    const auto start = std::chrono::steady_clock::now();
    rig.Tick();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

void TickWithoutPublisher(benchmark::State& state, std::uint64_t backlog) {
    Rig rig(backlog);
    for (auto _ : state)
        TimedTick(state, rig);
}

// Only the ticks that ran while the replay was under way count: flat out (0), and at the default rate.
void TickWhileReplaying(benchmark::State& state, std::uint64_t backlog) {
    Rig rig(backlog);
    const double rate = static_cast<double>(state.range(0));
    auto publisher = rig.Replay(rate);
    for (auto _ : state) {
        if (publisher->State().Acknowledged >= rig.records)
            publisher = rig.Replay(rate);
        TimedTick(state, rig);
    }
}

void ReplayBacklog(benchmark::State& state, std::uint64_t backlog) {
    Rig rig(backlog);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto publisher = rig.Replay();
        while (publisher->State().Acknowledged < rig.records) {
            if (std::chrono::steady_clock::now() - start > std::chrono::minutes(5)) {
                state.SkipWithError(("no replay: " + publisher->State().Problem).c_str());
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    state.counters["records/s"] = static_cast<double>(rig.records) / seconds;
}

} // namespace

int main(int argc, char** argv) {
    // A brief run replays an hour's backlog, not a day's.
    const bool brief = bench::BriefRun(argc, argv);
    const std::uint64_t backlog = brief ? 3600 : kDay;
    benchmark::RegisterBenchmark("TickWithoutPublisher", TickWithoutPublisher, backlog)
        ->Unit(benchmark::kMicrosecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("TickWhileReplaying", TickWhileReplaying, backlog)
        ->Arg(0)
        ->Arg(200)
        ->Unit(benchmark::kMicrosecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(brief ? "ReplayHour" : "ReplayFullDay", ReplayBacklog, backlog)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->UseManualTime();
    TheBroker();
    return bench::RunOffscreenWithRatios(
        argc, argv,
        {{"TickWhileReplaying/0/manual_time", "TickWithoutPublisher/manual_time"},
         {"TickWhileReplaying/200/manual_time", "TickWithoutPublisher/manual_time"}},
        2.0);
}
