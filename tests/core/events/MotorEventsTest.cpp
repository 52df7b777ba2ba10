#include "events/MotorEvents.h"

#include <cmath>
#include <gtest/gtest.h>
#include <initializer_list>
#include <sstream>

namespace registrator::events {
namespace {

const common::TDateTime kMorning = common::EncodeDate(2026, 12, 9) + common::EncodeTime(8, 0, 0, 0);

// A plant of three watched motors (nominal 100 A, critical 150 A, off at 5 A or below), stepped a
// second at a time; every other channel stands still at a mid-scale count.
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

// Full scale held by one converter reads as an overload at first (a real one may drive it there), and
// after a while as the converter's fault; held by all of them at once it is their supply or cable,
// said once for the whole plant and no motor's overload.
// A program started beside a motor in its inrush learnt it as running, and the inrush became an
// overload alarm: one found above nominal gets its start window, unsaid, before an overload counts.
TEST(MotorEvents, AMotorFoundAboveNominalAtStartUpGetsAStartWindowFirst) {
    Plant plant;
    plant.detector.SetStartWindow(2, 3);
    EXPECT_EQ(plant.Step({{1, 400}, {2, 400}}), "");
    std::string seen;
    for (int s = 0; s < 3; ++s)
        seen += plant.Step({{1, 90}, {2, 200}});
    EXPECT_EQ(seen, "");
    EXPECT_EQ(plant.Step({}), "2 выше номинала @3; 2 перегрузка ALARM @3; ");
}

TEST(MotorEvents, AConverterHeldAtFullScaleIsAFaultAndAllOfThemOneFault) {
    Plant plant;
    plant.Step({{3, 50}}, {{3, 500}});
    std::string seen;
    for (int s = 0; s < 6; ++s)
        seen += plant.Step({{3, 2000}}, {{3, 1023}});
    // What the full scale shows is no current: the overload ends where the fault is called.
    EXPECT_EQ(seen, "3 выше номинала @1; 3 перегрузка ALARM @1; 3 перегрузка снята peak 2000 for 5 s @6; "
                    "3 ниже номинала for 5 s @6; 3 неисправность преобразователя ALARM @6; ");
    // Answering again, the motor is learnt afresh from its second cycle: no start from the fault's end.
    EXPECT_EQ(plant.Step({{3, 50}}, {{3, 500}}), "3 преобразователь исправен @7; ");
    EXPECT_EQ(plant.Step({}), "");
    EXPECT_EQ(plant.Step({{3, 200}}), "");
    EXPECT_EQ(plant.Step({}), "3 выше номинала @9; 3 перегрузка ALARM @9; ");

    std::initializer_list<std::pair<int, double>> none = {};
    for (int n = 1; n <= channels::kChannelCount; ++n)
        plant.data.RawCounts[static_cast<std::size_t>(n - 1)] = 1023;
    seen.clear();
    for (int s = 0; s < 7; ++s)
        seen += plant.Step({{3, 2000}}, none);
    EXPECT_EQ(seen, "3 перегрузка снята peak 200 for 7 s @16; 3 ниже номинала for 7 s @16; "
                    "0 преобразователи не отвечают ALARM @16; ");
    EXPECT_EQ(plant.Step({{3, 50}}, {{1, 10}}), "0 преобразователи отвечают @18; ");
}

} // namespace
} // namespace registrator::events
