#include "acquisition/Averaging.h"

#include "acquisition/SimulatedPort.h"
#include "common/DateTime.h"
#include "support/RecordingMessages.h"

#include <deque>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace registrator::acquisition {
namespace {

// Converters that give the next of a list of scans, the last one again when the list runs out.
class ScriptedInputs final : public ConverterInputs {
public:
    void SampleCounts(ConverterCounts& counts) override {
        ++Samples;
        if (!Scans.empty()) {
            last_ = Scans.front();
            Scans.pop_front();
        }
        counts = last_;
    }
    void Add(std::initializer_list<std::uint16_t> firstChannels) {
        ConverterCounts counts{};
        std::copy(firstChannels.begin(), firstChannels.end(), counts.begin());
        Scans.push_back(counts);
    }
    std::deque<ConverterCounts> Scans;
    int Samples = 0;

private:
    ConverterCounts last_{};
};

// A clock one millisecond later at every reading.
class TickingClock final : public common::Clock {
public:
    explicit TickingClock(common::TDateTime start) : now_(start) {}
    common::TDateTime Now() const override {
        const common::TDateTime now = now_;
        now_ += 1 / common::kMsPerDay;
        return now;
    }

private:
    mutable common::TDateTime now_;
};

struct Rig {
    ScriptedInputs inputs;
    SimulatedPort port{inputs};
    ScanProtocol protocol{port};
    channels::ChannelData data;
    common::SettableClock clock{common::EncodeDate(2024, 3, 5) + common::EncodeTime(14, 30, 0, 250)};
    std::vector<std::string> events;
    support::RecordingMessages messages{events};
    std::function<void()> onReset = [this] { events.push_back("field:5"); };

    Rig() {
        protocol.ResetState();
        protocol.WritePpiMode(kPpiModeWord);
        data.AvgCount = 5;
    }
    bool Average(std::uint8_t scans) { return AverageScans(protocol, data, scans, clock, messages, onReset); }
};

TEST(AverageScans, OneScanStoresItsCountsAndTheDateTime) {
    Rig rig;
    rig.data.TokIndex = 17;
    rig.inputs.Add({0, 1, 1023, 512});
    ASSERT_TRUE(rig.Average(1));
    EXPECT_EQ(0, rig.data.TokHistory.CheckedAt(1, 17).Value);
    EXPECT_EQ(1, rig.data.TokHistory.CheckedAt(2, 17).Value);
    EXPECT_EQ(1023, rig.data.TokHistory.CheckedAt(3, 17).Value);
    EXPECT_EQ(512, rig.data.TokHistory.CheckedAt(4, 17).Value);
    for (int channel = 1; channel <= channels::kChannelCount; ++channel)
        EXPECT_DOUBLE_EQ(rig.clock.Now(), rig.data.TokHistory.CheckedAt(channel, 17).Time);
    EXPECT_EQ(0, rig.data.TokHistory.CheckedAt(3, 16).Value) << "only the slot at TokIndex is written";
    EXPECT_EQ(0, rig.data.TokHistory.CheckedAt(3, 18).Value);
}

TEST(AverageScans, RoundsHalvesToEven) {
    Rig rig;
    // Sums 5, 7, 3069 over the scans, and two more halves.
    rig.inputs.Add({2, 3, 1023, 0, 1});
    rig.inputs.Add({3, 4, 1023, 1, 2});
    ASSERT_TRUE(rig.Average(2));
    EXPECT_EQ(2, rig.data.Current(1).Value);
    EXPECT_EQ(4, rig.data.Current(2).Value);
    EXPECT_EQ(1023, rig.data.Current(3).Value);
    EXPECT_EQ(0, rig.data.Current(4).Value);
    EXPECT_EQ(2, rig.data.Current(5).Value);

    rig.inputs.Add({1023, 0});
    rig.inputs.Add({1023, 1});
    rig.inputs.Add({1023, 1});
    ASSERT_TRUE(rig.Average(3));
    EXPECT_EQ(1023, rig.data.Current(1).Value);
    EXPECT_EQ(1, rig.data.Current(2).Value); // 2/3
}

TEST(AverageScans, TheLargestCountSumsWithoutOverflow) {
    Rig rig;
    rig.inputs.Add({1023, 1022});
    ASSERT_TRUE(rig.Average(255));
    EXPECT_EQ(255, rig.inputs.Samples);
    EXPECT_EQ(1023, rig.data.Current(1).Value);
    EXPECT_EQ(1022, rig.data.Current(2).Value);
}

TEST(AverageScans, CountZeroRecoversToFiveAndTellsTheOperatorOnce) {
    Rig rig;
    rig.data.Current(1) = {123, 0.25};
    rig.data.AvgCount = 0;
    bool avgCountWasFiveAtMessage = false;
    class Probe final : public common::OperatorMessages {
    public:
        Probe(Rig& rig, bool& seen) : rig_(rig), seen_(seen) {}
        void Show(const std::string& text) override {
            seen_ = rig_.data.AvgCount == 5;
            rig_.events.push_back("message:" + text);
        }

    private:
        Rig& rig_;
        bool& seen_;
    } probe(rig, avgCountWasFiveAtMessage);

    EXPECT_FALSE(AverageScans(rig.protocol, rig.data, rig.data.AvgCount, rig.clock, probe, rig.onReset));
    EXPECT_EQ(5, rig.data.AvgCount);
    EXPECT_TRUE(avgCountWasFiveAtMessage) << "ticks nested under the box must already average 5";
    EXPECT_EQ((std::vector<std::string>{"field:5", "message:Ошибка деление на ноль: "}), rig.events);
    EXPECT_EQ(0, rig.inputs.Samples) << "no scan is run";
    EXPECT_EQ(123, rig.data.Current(1).Value) << "the slot keeps its last reading";
    EXPECT_EQ(0.25, rig.data.Current(1).Time);

    rig.inputs.Add({40});
    EXPECT_TRUE(AverageScans(rig.protocol, rig.data, rig.data.AvgCount, rig.clock, probe, rig.onReset));
    EXPECT_EQ(5, rig.inputs.Samples);
    EXPECT_EQ(40, rig.data.Current(1).Value);
    EXPECT_EQ(2u, rig.events.size());
}

TEST(AverageScans, CountZeroWithoutAFieldHookStillRecovers) {
    Rig rig;
    rig.onReset = nullptr;
    EXPECT_FALSE(rig.Average(0));
    EXPECT_EQ(5, rig.data.AvgCount);
    EXPECT_EQ(1u, rig.events.size());
}

struct ConversionCase {
    double K;
    double B;
    double Count;
    double Amperes;
};

TEST(ConvertReadings, AppliesTheLineRoundsHalvesToEvenAndClampsAtZero) {
    const ConversionCase cases[] = {
        {0.25, 0, 10, 2},
        {0.25, 0, 14, 4},
        {0.25, 0, 6, 2}, // 2.5, 3.5, 1.5
        {50, 1, 1, 49},
        {50, 1, 0, 0},
        {50, 1, 1023, 51149}, // file defaults
        {-3, 0, 1023, 0},
        {-3, 0, 1, 0},
        {-0.5, 10, 0, 0}, // negative slope
        {1, -5, 0, 5},
        {2, 0.5, 3, 6},
        {1, 0, 0, 0},   // 5.5 rounds to 6
        {0.1, 0, 5, 1}, // 0.5000000000000000277 in extended precision: 0 in doubles
        {1e300, 0, 1023, static_cast<double>(std::numeric_limits<std::int64_t>::max())},
    };
    for (const ConversionCase& c : cases) {
        channels::ChannelData data;
        data.TokIndex = 2999;
        for (int channel = 1; channel <= channels::kChannelCount; ++channel) {
            data.Ustavki[channel].Koof_K = c.K;
            data.Ustavki[channel].Koof_B = c.B;
            data.Current(channel).Value = c.Count;
        }
        common::SettableClock clock(common::EncodeDate(2024, 3, 5) + 0.75);
        ConvertReadings(data, clock);
        EXPECT_EQ(c.Amperes, data.Current(1).Value) << "k " << c.K << " b " << c.B << " x " << c.Count;
        EXPECT_EQ(c.Amperes, data.Current(72).Value);
        EXPECT_EQ(c.Amperes, ConvertCount(c.Count, data.Ustavki[1]));
    }
}

TEST(ConvertReadings, StampsEachChannelWithItsOwnTimeOfDay) {
    channels::ChannelData data;
    for (int channel = 1; channel <= channels::kChannelCount; ++channel)
        data.Ustavki[channel] = channels::DefaultUstavka(channel);
    const common::TDateTime start = common::EncodeDate(2024, 3, 5) + common::EncodeTime(23, 59, 59, 960);
    TickingClock clock(start);
    ConvertReadings(data, clock);
    for (int channel = 1; channel <= channels::kChannelCount; ++channel) {
        const double time = data.Current(channel).Time;
        EXPECT_GE(time, 0.0);
        EXPECT_LT(time, 1.0);
    }
    EXPECT_NEAR(common::TimePart(start), data.Current(1).Time, 0.5 / common::kMsPerDay);
    EXPECT_NEAR(1 / common::kMsPerDay, data.Current(2).Time - data.Current(1).Time, 0.5 / common::kMsPerDay);
    // The clock passes midnight while the channels are stamped.
    EXPECT_LT(data.Current(72).Time, data.Current(1).Time);
}

TEST(ConvertReadings, AfterAWholeTickASlotHoldsAmperesAndATimeOfDay) {
    Rig rig;
    for (int channel = 1; channel <= channels::kChannelCount; ++channel)
        rig.data.Ustavki[channel] = channels::DefaultUstavka(channel);
    rig.inputs.Add({11, 0, 7});
    ASSERT_TRUE(rig.Average(rig.data.AvgCount));
    ConvertReadings(rig.data, rig.clock);
    EXPECT_EQ(549, rig.data.Current(1).Value);
    EXPECT_EQ(0, rig.data.Current(2).Value);
    EXPECT_EQ(349, rig.data.Current(3).Value);
    EXPECT_DOUBLE_EQ(common::TimePart(rig.clock.Now()), rig.data.Current(1).Time);
    // The counts the amperes came from stay readable for the calibration window.
    EXPECT_EQ(11, rig.data.RawCount(1));
    EXPECT_EQ(0, rig.data.RawCount(2));
    EXPECT_EQ(7, rig.data.RawCount(3));
}

} // namespace
} // namespace registrator::acquisition
