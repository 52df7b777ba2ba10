// One refresh of the section window on a full history ring (3000 chart points, 2,999 grid rows),
// offscreen and with the chart's replot and the repaint it asks for, against copying the same 3000
// values out of the ring into a plain vector, in the same run.
#include "RatioReporter.h"
#include "SilentDialogs.h"
#include "channels/ChannelData.h"
#include "service/recorder/HandlerGuard.h"
#include "ui/app/ErrorBoxes.h"
#include "ui/monitor/MotorGraphWindow.h"
#include "ui/monitor/SectionWindow.h"
#include "ui/monitor/TokGridModel.h"
#include "ui/widgets/TrendChart.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <vector>

using namespace registrator;

namespace {

using bench::SilentDialogs;

// A ring written all round with a wavy current, the last slot being filled.
void FillRing(channels::ChannelData& data) {
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        data.Ustavki[n] = channels::DefaultUstavka(n);
        for (int slot = 0; slot < channels::kRingSize; ++slot)
            data.TokHistory.At(n, slot) = {static_cast<double>(100 + (slot * 7 + n) % 61),
                                           common::EncodeTime(8, slot / 60, slot % 60, 0)};
    }
    data.TokIndex = channels::kRingSize - 1;
    data.SelSection = 2;
}

void FillPlainVector(benchmark::State& state) {
    channels::ChannelData data;
    FillRing(data);
    std::vector<double> values(channels::kRingSize);
    for (auto _ : state) {
        const channels::TTokSlot* ring = data.TokHistory.Ring(16);
        for (int i = 1; i <= channels::kRingSize; ++i)
            values[static_cast<std::size_t>(i - 1)] =
                ring[(data.TokIndex + i - 1) % channels::kRingSize].Value;
        benchmark::DoNotOptimize(values.data());
        benchmark::ClobberMemory();
    }
}

void RefreshMotor(benchmark::State& state) {
    channels::ChannelData data;
    FillRing(data);
    SilentDialogs dialogs;
    service::HandlerGuard guard(dialogs);
    const auto regional = common::RegionalSettings::Russian();
    ui::MotorGraphWindow motorGraph(data, regional);
    ui::SectionWindow window(data, regional, guard);
    // What the main window's SelectChannel does with these two windows.
    QObject::connect(&window, &ui::SectionWindow::selectChannelRequested, &window, [&](int channel) {
        window.ShowChannelFields(channel);
        motorGraph.ShowChannelFields(channel);
        data.SelChannel = static_cast<std::uint8_t>(channel);
    });
    int replots = 0;
    QObject::connect(window.Chart1(), &QCustomPlot::afterReplot, [&] { ++replots; });
    window.OpenSection(2);
    window.RefreshMotor();
    QCoreApplication::processEvents();
    replots = 0;
    for (auto _ : state) {
        window.RefreshMotor();
        QCoreApplication::processEvents();
    }
    state.counters["replots_per_refresh"] =
        static_cast<double>(replots) / static_cast<double>(state.iterations());
    state.counters["grid_rows"] = window.Grid()->rowCount() - 1;
}

BENCHMARK(FillPlainVector)->Unit(benchmark::kMicrosecond);
BENCHMARK(RefreshMotor)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    return RunBenchmarksWithRatios(argc, argv, {{"RefreshMotor", "FillPlainVector"}});
}
