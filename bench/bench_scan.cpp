// The scan protocol's own cost: one ScanConverters over a port that does nothing, against a bare
// loop of the same 2,648 register calls (2,468 writes, 180 status reads) on that port. Then one
// whole fast tick's reading work, AverageScans(5) + ConvertReadings, over the simulated port.
#include "RatioReporter.h"
#include "acquisition/Averaging.h"
#include "acquisition/ScanProtocol.h"
#include "acquisition/SimulatedPort.h"
#include "common/DateTime.h"

#include <benchmark/benchmark.h>

namespace {

using namespace registrator;

constexpr int kScanWrites = 2468;
constexpr int kScanReads = 180;
static_assert(kScanWrites + kScanReads == 2648);

// Kept out of line so both sides pay the same call.
class NullPort final : public acquisition::PortAccess {
public:
    bool IsReady() const override { return true; }
    [[gnu::noinline]] std::uint8_t ReadRegister(std::uint8_t, std::uint8_t) override { return 0; }
    [[gnu::noinline]] void WriteRegister(std::uint8_t, std::uint8_t, std::uint8_t) override {}
    std::uint32_t LastError() const override { return 0; }
};

acquisition::PortAccess& Opaque(acquisition::PortAccess& port) {
    acquisition::PortAccess* pointer = &port;
    benchmark::DoNotOptimize(pointer);
    return *pointer;
}

void BM_BareRegisterCalls(benchmark::State& state) {
    NullPort null;
    acquisition::PortAccess& port = Opaque(null);
    for (auto _ : state) {
        for (int i = 0; i < kScanWrites; ++i)
            port.WriteRegister(acquisition::kPort2, acquisition::kControlRegister,
                               static_cast<std::uint8_t>(i));
        for (int i = 0; i < kScanReads; ++i)
            benchmark::DoNotOptimize(port.ReadRegister(acquisition::kPort2, acquisition::kStatusRegister));
    }
    state.SetItemsProcessed(state.iterations() * (kScanWrites + kScanReads));
}
BENCHMARK(BM_BareRegisterCalls);

void BM_ScanConverters(benchmark::State& state) {
    NullPort null;
    acquisition::ScanProtocol protocol(Opaque(null));
    for (auto _ : state) {
        protocol.ScanConverters();
        benchmark::DoNotOptimize(protocol.ScanResult);
    }
    state.SetItemsProcessed(state.iterations() * (kScanWrites + kScanReads));
}
BENCHMARK(BM_ScanConverters);

class QuietMessages final : public common::OperatorMessages {
public:
    void Show(const std::string&) override {}
};

void BM_AverageAndConvertOverSimulatedPort(benchmark::State& state) {
    channels::ChannelData data;
    for (int channel = 1; channel <= channels::kChannelCount; ++channel)
        data.Ustavki[channel] = channels::DefaultUstavka(channel);
    common::SettableClock clock(common::EncodeDate(2024, 3, 5) + 0.4);
    acquisition::SimulatedPort port(data.Ustavki, clock, 1);
    acquisition::ScanProtocol protocol(port);
    QuietMessages messages;
    protocol.ResetState();
    protocol.WritePpiMode(acquisition::kPpiModeWord);
    for (auto _ : state) {
        clock.AdvanceMs(10);
        acquisition::AverageScans(protocol, data, 5, clock, messages, nullptr);
        acquisition::ConvertReadings(data, clock);
        benchmark::DoNotOptimize(data.Current(1).Value);
    }
}
BENCHMARK(BM_AverageAndConvertOverSimulatedPort)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    const int status = RunBenchmarksWithRatios(argc, argv, {{"BM_ScanConverters", "BM_BareRegisterCalls"}});
    std::printf(
        "aims: ScanConverters / bare calls at most 1.3; AverageScans(5) + ConvertReadings under 500 us\n");
    return status;
}
