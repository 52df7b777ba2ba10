// The fast tick of the real main window publishing to the Modbus server as the program does: without
// the server, with it and no client, and with 8 clients each reading the whole map ten times a
// second (ratios); and how long a 72-register read takes on loopback (median, 99th percentile).
#include "PlantRig.h"
#include "RatioReporter.h"
#include "acquisition/PortFactory.h"
#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "integration/ModbusImage.h"
#include "service/modbus/ModbusServer.h"
#include "ui/app/Program.h"
#include "ui/monitor/MainWindow.h"

#include <QApplication>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <modbus/modbus.h>
#include <thread>
#include <vector>

using namespace registrator;

namespace {

struct Rig : bench::PlantRig {
    explicit Rig(bool withServer)
        : PlantRig(std::filesystem::temp_directory_path().string() + "/"),
          window(bench::ShownMainWindow(*this)) {
        if (!withServer)
            return;
        std::string error;
        if (!server.Listen("127.0.0.1", 0, 1, error))
            throw std::runtime_error(error);
        // As the program publishes after every scan cycle.
        QObject::connect(window.get(), &ui::MainWindow::displayRefreshed, [this] {
            integration::StationStatus status;
            status.ScanCycles = ++cycles;
            status.AvgCount = data.AvgCount;
            states.Follow(data);
            image.Update(data, states, status, integration::WordOrder::HighFirst);
            server.Publish(image);
        });
    }
    void Tick() { bench::Tick(*this); }

    std::unique_ptr<ui::MainWindow> window;
    service::ModbusServer server;
    integration::ModbusImage image;
    monitor::ShownPanelStates states;
    std::uint32_t cycles = 0;
};

modbus_t* Connect(std::uint16_t port) {
    modbus_t* client = modbus_new_tcp("127.0.0.1", port);
    if (!client || modbus_connect(client) != 0)
        throw std::runtime_error("cannot connect a Modbus client");
    modbus_set_slave(client, 1);
    return client;
}

// SCADA clients, each reading every block of the map ten times a second on a thread of its own.
class Clients {
public:
    Clients(std::uint16_t port, int count) {
        for (int i = 0; i < count; ++i)
            threads_.emplace_back([this, port] {
                modbus_t* client = Connect(port);
                std::uint16_t registers[125];
                std::uint8_t bits[72];
                while (!stop_) {
                    const auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
                    for (int start : {0, 100, 200})
                        reads_ += modbus_read_registers(client, start, 72, registers) == 72;
                    reads_ += modbus_read_input_registers(client, 300, 72, registers) == 72;
                    reads_ += modbus_read_input_registers(client, 372, 72, registers) == 72;
                    reads_ += modbus_read_input_registers(client, 1000, 11, registers) == 11;
                    for (int start : {0, 100, 200})
                        reads_ += modbus_read_input_bits(client, start, 72, bits) == 72;
                    std::this_thread::sleep_until(next);
                }
                modbus_close(client);
                modbus_free(client);
            });
    }
    ~Clients() {
        stop_ = true;
        for (std::thread& thread : threads_)
            thread.join();
    }
    long Reads() const { return reads_; }

private:
    std::atomic<bool> stop_ = false;
    std::atomic<long> reads_ = 0;
    std::vector<std::thread> threads_;
};

void TickWithoutModbus(benchmark::State& state) {
    Rig rig(false);
    for (auto _ : state)
        rig.Tick();
}

void TickWithModbusNoClient(benchmark::State& state) {
    Rig rig(true);
    for (auto _ : state)
        rig.Tick();
}

void TickWith8ModbusClients(benchmark::State& state) {
    Rig rig(true);
    Clients clients(rig.server.Port(), 8);
    for (auto _ : state)
        rig.Tick();
    state.counters["reads/s"] =
        benchmark::Counter(static_cast<double>(clients.Reads()), benchmark::Counter::kIsRate);
}

// One client reading the 72 currents back to back while the ticks go on.
void Read72Registers(benchmark::State& state) {
    Rig rig(true);
    rig.Tick();
    modbus_t* client = Connect(rig.server.Port());
    std::uint16_t registers[72];
    std::vector<double> us;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (modbus_read_registers(client, 0, 72, registers) != 72)
            state.SkipWithError("read failed");
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took);
        us.push_back(took * 1e6);
        rig.Tick();
    }
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[us.size() * 99 / 100];
    modbus_close(client);
    modbus_free(client);
}

BENCHMARK(TickWithoutModbus)->Unit(benchmark::kMicrosecond);
BENCHMARK(TickWithModbusNoClient)->Unit(benchmark::kMicrosecond);
BENCHMARK(TickWith8ModbusClients)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("Read72Registers", Read72Registers)
        ->Unit(benchmark::kMicrosecond)
        ->UseManualTime()
        ->Iterations(bench::BriefRun(argc, argv) ? 20 : 2000);
    return bench::RunOffscreenWithRatios(argc, argv,
                                         {{"TickWithModbusNoClient", "TickWithoutModbus"},
                                          {"TickWith8ModbusClients", "TickWithModbusNoClient"},
                                          {"TickWith8ModbusClients", "TickWithoutModbus"}},
                                         2.0);
}
