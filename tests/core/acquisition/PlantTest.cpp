#include "acquisition/Plant.h"

#include "acquisition/Averaging.h"
#include "acquisition/SimulatedPort.h"
#include "common/DateTime.h"
#include "monitor/PanelState.h"

#include <array>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <vector>

namespace registrator::acquisition {
namespace {

using monitor::PanelState;

class SilentMessages final : public common::OperatorMessages {
public:
    void Show(const std::string&) override { ADD_FAILURE() << "no message expected"; }
};

// The simulated port read the way the main window does, tick by tick, under a settable clock.
struct Panel {
    channels::ChannelData data;
    common::SettableClock clock;
    SimulatedPort port;
    ScanProtocol protocol{port};
    SilentMessages messages;

    Panel(unsigned seed, common::TDateTime start) : clock(start), port(data.Ustavki, clock, seed) {
        for (int channel = 1; channel <= channels::kChannelCount; ++channel)
            data.Ustavki[channel] = channels::DefaultUstavka(channel);
        data.AvgCount = 5;
        protocol.ResetState();
        protocol.WritePpiMode(kPpiModeWord);
    }
    void Tick(std::uint8_t scans, double stepMs) {
        clock.AdvanceMs(stepMs);
        protocol.WritePpiMode(kPpiModeWord);
        ASSERT_TRUE(AverageScans(protocol, data, scans, clock, messages, nullptr));
        ConvertReadings(data, clock);
    }
    PanelState State(int channel) const {
        return monitor::ClassifyReading(data.Current(channel).Value, data.Ustavki[channel]);
    }
};

const common::TDateTime kMorning = common::EncodeDate(2024, 3, 5) + common::EncodeTime(8, 0, 0, 0);
const common::TDateTime kStarts[] = {kMorning,
                                     common::EncodeDate(2024, 3, 5) + common::EncodeTime(13, 37, 21, 5),
                                     common::EncodeDate(2024, 12, 31) + common::EncodeTime(23, 59, 30, 0)};

std::set<PanelState> StatesWithinAMinute(Panel& panel) {
    std::set<PanelState> seen;
    for (int tick = 0; tick < 600; ++tick) {
        // The clock stands still within a tick, so more scans would only repeat the first.
        panel.Tick(1, 100);
        for (int channel = 1; channel <= channels::kChannelCount; ++channel)
            seen.insert(panel.State(channel));
    }
    return seen;
}

TEST(Plant, DefaultSettingsShowOverloadRunningAndOffWithinAMinute) {
    for (const unsigned seed : {1u, 2u, 3u}) {
        for (const common::TDateTime start : kStarts) {
            Panel panel(seed, start);
            const std::set<PanelState> seen = StatesWithinAMinute(panel);
            EXPECT_TRUE(seen.count(PanelState::Overloaded)) << "seed " << seed << " start " << start;
            EXPECT_TRUE(seen.count(PanelState::Running)) << "seed " << seed << " start " << start;
            EXPECT_TRUE(seen.count(PanelState::Off)) << "seed " << seed << " start " << start;
            EXPECT_FALSE(seen.count(PanelState::AboveNominal))
                << "critical below nominal leaves no room for it";
        }
    }
}

TEST(Plant, AllFourStatesShowWithinAMinuteWhenNominalIsBelowCritical) {
    for (const unsigned seed : {1u, 7u}) {
        Panel panel(seed, kStarts[1]);
        for (int channel = 1; channel <= channels::kChannelCount; ++channel)
            panel.data.Ustavki[channel].T_Max = 700;
        const std::set<PanelState> seen = StatesWithinAMinute(panel);
        EXPECT_EQ((std::set<PanelState>{PanelState::Overloaded, PanelState::AboveNominal, PanelState::Running,
                                        PanelState::Off}),
                  seen)
            << "seed " << seed;
    }
}

TEST(Plant, EveryMotorStartsWithAnInrushRunsAndStops) {
    Panel panel(5, kMorning);
    std::map<int, std::vector<PanelState>> history;
    for (int tick = 0; tick < 1500; ++tick) { // five minutes
        panel.Tick(1, 200);
        for (int channel = 1; channel <= channels::kChannelCount; ++channel) {
            auto& states = history[channel];
            if (states.empty() || states.back() != panel.State(channel))
                states.push_back(panel.State(channel));
        }
    }
    for (const auto& [channel, states] : history) {
        int starts = 0, stops = 0;
        for (std::size_t i = 1; i < states.size(); ++i) {
            // On its way up through the transducer the current may be caught in the running band.
            const std::size_t up = states[i] == PanelState::Running && i + 1 < states.size() ? i + 1 : i;
            starts += states[i - 1] == PanelState::Off && states[up] == PanelState::Overloaded;
            stops += states[i - 1] == PanelState::Running && states[i] == PanelState::Off;
        }
        EXPECT_GE(starts, 2) << "channel " << channel;
        EXPECT_GE(stops, 2) << "channel " << channel;
    }
}

// What a station's current transducer shows: a start rises through the running band over several scan
// cycles of 10 ms, and is above critical a few time constants after it left the switched-off state.
TEST(Plant, StartsRiseThroughTheTransducerOverAFewScanCycles) {
    Panel panel(5, kMorning);
    std::array<int, channels::kChannelCount + 1> rising{}; // cycles since it left off; -1: not starting
    rising.fill(-1);
    int starts = 0;
    for (int tick = 0; tick < 12000; ++tick) { // two minutes
        panel.Tick(1, 10);
        for (int channel = 1; channel <= channels::kChannelCount; ++channel) {
            int& cycles = rising[static_cast<std::size_t>(channel)];
            const PanelState state = panel.State(channel);
            if (state == PanelState::Off || (state == PanelState::Overloaded && cycles < 0)) {
                cycles = state == PanelState::Off ? 0 : -1;
            } else if (state == PanelState::Overloaded) {
                EXPECT_TRUE(cycles >= 3 && cycles <= 30)
                    << "channel " << channel << ": " << cycles << " cycles";
                ++starts;
                cycles = -1;
            } else if (cycles >= 0) {
                ++cycles;
            }
        }
    }
    EXPECT_GE(starts, 100);
}

TEST(Plant, ReplaysExactlyForTheSameSeedAndTime) {
    Panel first(11, kMorning), second(11, kMorning), other(12, kMorning);
    bool differs = false;
    for (int tick = 0; tick < 100; ++tick) {
        first.Tick(5, 100);
        second.Tick(5, 100);
        other.Tick(5, 100);
        for (int channel = 1; channel <= channels::kChannelCount; ++channel) {
            ASSERT_EQ(first.data.Current(channel).Value, second.data.Current(channel).Value);
            differs = differs || first.data.Current(channel).Value != other.data.Current(channel).Value;
        }
    }
    EXPECT_TRUE(differs) << "another seed makes another plant";
}

TEST(Plant, AimsAtWhateverCalibrationIsLoaded) {
    Panel panel(3, kMorning);
    channels::TUstavka& fine = panel.data.Ustavki[5]; // a fine converter scale, all four bands
    fine.Koof_K = 0.5;
    fine.Koof_B = 0;
    fine.T_Nom = 100;
    fine.T_Max = 150;
    fine.Oborot = 10;
    channels::TUstavka& offset = panel.data.Ustavki[30]; // an offset, and critical below nominal
    offset.Koof_K = 2;
    offset.Koof_B = 10;
    offset.T_Nom = 60;
    offset.T_Max = 50;
    offset.Oborot = 20;
    std::set<PanelState> fineStates, offsetStates;
    double fineMax = 0;
    for (int tick = 0; tick < 1800; ++tick) { // three minutes
        panel.Tick(1, 100);
        fineStates.insert(panel.State(5));
        offsetStates.insert(panel.State(30));
        fineMax = std::max(fineMax, panel.data.Current(5).Value);
    }
    // A current on its way between two duties may read a threshold exactly.
    fineStates.erase(PanelState::Unchanged);
    offsetStates.erase(PanelState::Unchanged);
    EXPECT_EQ(4u, fineStates.size());
    EXPECT_EQ((std::set<PanelState>{PanelState::Overloaded, PanelState::Running, PanelState::Off}),
              offsetStates);
    EXPECT_LT(fineMax, 511.5) << "the converter's range ends at 1023 counts";
}

TEST(Plant, CountsStayInTheConverterRangeForAnyCalibration) {
    channels::UstavkiTable ustavki;
    const double slopes[] = {0.001, -50, 0, 1e300, 50};
    for (int channel = 1; channel <= channels::kChannelCount; ++channel) {
        ustavki[channel] = channels::DefaultUstavka(channel);
        ustavki[channel].Koof_K = slopes[channel % 5];
        ustavki[channel].T_Max = channel % 2 ? 1e9 : -5;
    }
    common::SettableClock clock(kMorning);
    Plant plant(ustavki, clock, 1);
    const auto start = static_cast<std::int64_t>(kMorning * common::kMsPerDay);
    for (std::int64_t ms = start; ms < start + 120000; ms += 250)
        for (int channel = 1; channel <= channels::kChannelCount; ++channel)
            ASSERT_LE(plant.CountAt(channel, ms), 1023);
}

} // namespace
} // namespace registrator::acquisition
