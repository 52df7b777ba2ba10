#include "events/MotorEvents.h"

#include <cmath>
#include <gtest/gtest.h>
#include <initializer_list>
#include <sstream>

namespace registrator::events {
namespace {

const common::TDateTime kMorning = common::EncodeDate(2026, 12, 9) + common::EncodeTime(8, 0, 0, 0);

// A plant of watched motors (nominal 100 A, critical 150 A, off at 5 A or below), stepped a second at
// a time; every channel stands at 0 A and a count of 0 until a step sets it.
class Plant {
public:
    Plant() {
        for (int n = 1; n <= channels::kChannelCount; ++n) {
            data.Ustavki[n].T_Nom = 100;
            data.Ustavki[n].T_Max = 150;
            data.Ustavki[n].Oborot = 5;
            data.RawCounts[static_cast<std::size_t>(n - 1)] = 0;
        }
    }
    // One cycle: the channels' currents (A) and, where given, raw counts; returns its events as text,
    // each with the second of the cycle it belongs to.
    std::string Step(std::initializer_list<std::pair<int, double>> currents,
                     std::initializer_list<std::pair<int, double>> raw = {}) {
        for (auto [channel, value] : currents)
            data.Current(channel).Value = value;
        for (auto [channel, count] : raw)
            data.RawCounts[static_cast<std::size_t>(channel - 1)] = count;
        std::vector<Event> events;
        detector.Observe(kMorning + seconds++ / 86400.0, data, events);
        std::ostringstream text;
        for (const Event& e : events) {
            text << e.Channel << ' ' << EventKindText(e.Kind);
            if (e.Peak != 0)
                text << " peak " << e.Peak;
            if (e.Seconds != 0)
                text << " for " << e.Seconds << " s";
            text << (e.Alarm ? " ALARM" : "") << " @" << std::lround((e.Time - kMorning) * 86400) << "; ";
        }
        return text.str();
    }
    // One cycle with every channel at the same current and raw count but those given.
    std::string StepAll(double value, double count,
                        std::initializer_list<std::pair<int, double>> currents = {},
                        std::initializer_list<std::pair<int, double>> raw = {}) {
        for (int n = 1; n <= channels::kChannelCount; ++n) {
            data.Current(n).Value = value;
            data.RawCounts[static_cast<std::size_t>(n - 1)] = count;
        }
        return Step(currents, raw);
    }

    channels::ChannelData data;
    MotorEventDetector detector;
    int seconds = 0;
};

// A start's inrush above critical is no overload; an overload outside a start is, with its peak and
// duration; a start that outlasts its window is a long start, and what follows it counts as usual.
// Every cycle is judged with the next, so its events come a cycle later with its own time.
TEST(MotorEvents, StartsInrushOverloadsAndStopsAsTheOperatorWouldCallThem) {
    Plant plant;
    plant.detector.SetStartWindow(2, 3);
    EXPECT_EQ(plant.Step({{1, 0}, {2, 0}}), "");
    EXPECT_EQ(plant.Step({{1, 400}, {2, 400}}), "");
    EXPECT_EQ(plant.Step({{1, 300}}), "1 пуск @1; 2 пуск @1; ");
    EXPECT_EQ(plant.Step({{1, 90}}), "");
    EXPECT_EQ(plant.Step({}), "1 пуск завершён peak 400 for 2 s @3; ");
    EXPECT_EQ(plant.Step({{1, 200}}),
              "2 затянутый пуск peak 400 for 3 s ALARM @4; 2 выше номинала @4; 2 перегрузка ALARM @4; ");
    EXPECT_EQ(plant.Step({{1, 250}}), "1 выше номинала @5; 1 перегрузка ALARM @5; ");
    EXPECT_EQ(plant.Step({{1, 120}, {2, 0}}), "");
    EXPECT_EQ(plant.Step({{1, 90}}),
              "1 перегрузка снята peak 250 for 2 s @7; 2 перегрузка снята peak 400 for "
              "3 s @7; 2 ниже номинала for 3 s @7; 2 останов @7; ");
    EXPECT_EQ(plant.Step({{1, 0}}), "1 ниже номинала for 3 s @8; ");
    EXPECT_EQ(plant.Step({}), "1 останов @9; ");
}

// What a current transducer and a cycle that averages old and new scans show: a start that ramps up
// through the running band, or passes it in one mixed cycle, is still one start with its inrush as the
// peak; a motor that starts unloaded ends its start once its current stops rising; a jammed one that
// ramps to above nominal is a long start; one cycle above both its neighbours is no overload.
TEST(MotorEvents, RampsAndMixedCyclesNeitherEndAStartNorBeginAnOverload) {
    Plant plant;
    plant.detector.SetStartWindow(3, 4);
    std::string seen;
    // Motor 1 ramps up and down; 2 comes up unloaded; 3 jams above nominal; 4 runs with two spikes.
    const double profile[][4] = {{0, 0, 0, 80},      {40, 30, 40, 200},   {160, 60, 130, 80},
                                 {400, 62, 130, 80}, {800, 61, 130, 200}, {300, 63, 130, 200},
                                 {120, 60, 130, 80}, {90, 60, 90, 80},    {90, 60, 90, 80}};
    for (const auto& cycle : profile)
        seen += plant.Step({{1, cycle[0]}, {2, cycle[1]}, {3, cycle[2]}, {4, cycle[3]}});
    EXPECT_EQ(seen, "1 пуск @1; 2 пуск @1; 3 пуск @1; "
                    "2 пуск завершён peak 62 for 1 s @4; 4 выше номинала @4; 4 перегрузка ALARM @4; "
                    "3 затянутый пуск peak 130 for 4 s ALARM @5; 3 выше номинала @5; "
                    "4 перегрузка снята peak 200 for 2 s @6; 4 ниже номинала for 2 s @6; "
                    "1 пуск завершён peak 800 for 6 s @7; 3 ниже номинала for 2 s @7; ");
}

// Full scale held by one converter reads as an overload at first (a real one may drive it there), and
// after a while as the converter's fault; held by all of them at once it is their supply or cable,
// said once for the whole plant and no motor's overload, start or stop, even where the cycles on its
// edges average full-scale scans with real ones.
TEST(MotorEvents, AConverterHeldAtFullScaleIsAFaultAndAllOfThemOneFault) {
    Plant plant;
    plant.Step({{3, 50}, {4, 50}}, {{3, 500}, {4, 500}});
    std::string seen;
    for (int s = 0; s < 6; ++s)
        seen += plant.Step({{3, 2000}}, {{3, 1023}});
    // What the full scale shows is no current: the overload ends where the fault is called.
    EXPECT_EQ(seen, "3 выше номинала @1; 3 перегрузка ALARM @1; 3 перегрузка снята peak 2000 for 5 s @6; "
                    "3 ниже номинала for 5 s @6; 3 неисправность преобразователя ALARM @6; ");
    // Answering again, the motor is learnt afresh from its second cycle: no start from the fault's end.
    EXPECT_EQ(plant.Step({{3, 50}}, {{3, 500}}), "3 преобразователь исправен @7; ");
    EXPECT_EQ(plant.Step({{3, 200}}, {{3, 500}}), "");
    EXPECT_EQ(plant.Step({}), "3 выше номинала @8; 3 перегрузка ALARM @8; ");

    seen = plant.StepAll(900, 900);
    for (int s = 0; s < 6; ++s)
        seen += plant.StepAll(2000, 1023);
    EXPECT_EQ(seen, "3 перегрузка снята peak 200 for 8 s @16; 3 ниже номинала for 8 s @16; "
                    "0 преобразователи не отвечают ALARM @16; ");
    EXPECT_EQ(plant.StepAll(900, 900), "0 преобразователи отвечают @17; ");
    seen = plant.StepAll(0, 0, {{4, 50}}, {{4, 500}});
    seen += plant.Step({});
    EXPECT_EQ(seen, "") << "motor 4 runs and the others are off as they were";
    EXPECT_EQ(plant.Step({{4, 0}}, {{4, 0}}), "");
    EXPECT_EQ(plant.Step({}), "4 останов @20; ");
}

} // namespace
} // namespace registrator::events
