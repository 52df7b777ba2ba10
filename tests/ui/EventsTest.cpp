#include "UiTestSupport.h"
#include "acquisition/SimulatedPort.h"
#include "events/EventJournal.h"
#include "support/TempFolder.h"
#include "ui/app/Program.h"
#include "ui/events/AlarmLine.h"
#include "ui/events/AlarmSound.h"
#include "ui/events/JournalWindow.h"
#include "ui/monitor/MainWindow.h"
#include "ui/tuning/CalibrationWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace registrator::ui {
namespace {

// What the converters read: the test sets channels' counts for each cycle, each from a given scan of
// the cycle on (a motor switches on between the scans that one cycle averages).
class ScriptedInputs final : public acquisition::ConverterInputs {
public:
    struct Change {
        int Channel;
        int Count;
        int Scan;
    };
    void SampleCounts(acquisition::ConverterCounts& out) override {
        for (const Change& change : changes)
            if (change.Scan == scan)
                counts[static_cast<std::size_t>(change.Channel - 1)] =
                    static_cast<std::uint16_t>(change.Count);
        ++scan;
        out = counts;
    }
    acquisition::ConverterCounts counts{};
    std::vector<Change> changes;
    int scan = 0;
};

// Through the whole program: the scripted counts go through the port, the scan protocol, the averaging
// and the conversion of each scan cycle, and the events come out in the day's journal. Five motors of
// 1 A a count, nominal 100 A, critical 150 A, off at 5 A or below; motor 2 with a start window of
// 3 s of its own in the settings file.
class EventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder.Path() / "bin");
        std::filesystem::create_directories(folder.Path() / "Data");
        std::ofstream ini(folder.Path() / "bin" / "Registrator.INI", std::ios::binary);
        for (int n = 1; n <= 5; ++n)
            ini << "[Ustavki" << n << "]\r\nName=Мотор " << n
                << "\r\nKoof_K=1\r\nKoof_B=0\r\nT_Nom=100\r\nT_Max=150\r\nMoshn=55\r\nOborot=5\r\n"
                << (n == 2 ? "StartWindow=3\r\n" : "");
    }
    ProgramEnvironment Environment() {
        return testing::FolderEnvironment(clock, dialogs, folder,
                                          [this](const channels::UstavkiTable&, const common::Clock&) {
                                              return std::make_unique<acquisition::SimulatedPort>(inputs);
                                          });
    }
    // One second of the plant: the counts given, the rest as they were, then one scan cycle. A channel
    // in `late` keeps its old count for that many of the cycle's scans.
    void Second(Program& program, const std::map<int, int>& counts, const std::map<int, int>& late = {}) {
        inputs.changes.clear();
        inputs.scan = 0;
        for (auto [channel, count] : counts)
            inputs.changes.push_back({channel, count, late.contains(channel) ? late.at(channel) : 0});
        clock.AdvanceMs(1000);
        program.Recorder().Timer1Timer();
    }
    // The journal's motor lines: "channel kind [peak] [seconds]".
    std::vector<std::string> MotorLines() const {
        std::vector<std::string> lines;
        for (const auto& f : events::EventJournal::Read(folder.File("Data/06.12.2026.events.csv")))
            if (f.Channel && f.Kind != events::EventKind::CalibrationChanged &&
                f.Kind != events::EventKind::Acknowledged)
                lines.push_back(ChannelText(f) + ' ' + f.KindText() + FigureText(f.Peak) +
                                FigureText(f.Seconds) + (f.Alarm ? " !" : ""));
        return lines;
    }
    static std::string ChannelText(const events::JournalEntry& line) {
        return line.Channel ? std::to_string(*line.Channel) : std::string();
    }
    static std::string FigureText(const std::optional<double>& figure) {
        return figure ? ' ' + events::JournalFigureText(*figure) : std::string();
    }

    support::TempFolder folder;
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(8, 30, 0, 0)};
    testing::RecordingDialogs dialogs;
    ScriptedInputs inputs;
};

TEST_F(EventsTest, AScriptedProfileGivesEachEventWithItsFigures) {
    Program program(Environment());
    ASSERT_TRUE(program.Start());
    program.Recorder().StopTimers();
    Second(program, {}); // every motor known as off
    // Motor 1: a start whose inrush passes critical, a run, an overload, a stop.
    // Motor 2: a start that outlasts its own 3 s window. Motor 3: a converter stuck at full scale.
    Second(program, {{1, 400}, {2, 400}, {3, 1023}});
    Second(program, {{1, 300}});
    Second(program, {{1, 90}});
    Second(program, {{1, 95}});
    Second(program, {{1, 200}, {2, 120}});
    Second(program, {{1, 230}});
    Second(program, {{1, 90}, {3, 1023}});
    Second(program, {{1, 0}, {3, 50}});
    Second(program, {}); // each cycle is judged with the next
    EXPECT_EQ(MotorLines(),
              (std::vector<std::string>{
                  "1 пуск", "2 пуск", "3 пуск", // a converter at full scale looks like a start at first
                  "1 пуск завершён 400,0 2,0", "2 затянутый пуск 400,0 3,0 !", "2 выше номинала",
                  "2 перегрузка !", "1 выше номинала", "1 перегрузка !", "2 перегрузка снята 400,0 1,0",
                  "3 неисправность преобразователя !", "1 перегрузка снята 230,0 2,0", "1 ниже номинала 2,0",
                  "3 преобразователь исправен", "1 останов"}));
    const auto lines = events::EventJournal::Read(folder.File("Data/06.12.2026.events.csv"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().KindText(), "запуск программы");
}

// What a station's converters show: a start ramps up through the running band, or switches on between
// the scans one cycle averages, so that cycle reads a current between the old and the new. Neither
// ends a start with the ramp's value as its peak and journals the inrush as an overload; a jam still
// shows as a long start. Motor 1 ramps; 2 jams above nominal (its window is 3 s) and 3 comes up to an
// inrush, both switched on in the middle of a cycle; 4 (so switched on) and 5 start unloaded: their
// starts last until their currents stopped rising, for 5 at once.
TEST_F(EventsTest, RampedStartsAndStartsInsideACycleAreStartsWithTheirInrush) {
    Program program(Environment());
    ASSERT_TRUE(program.Start());
    program.Recorder().StopTimers();
    Second(program, {});
    // 2 reads 56 A, 3 80 A, 4 36 A
    Second(program, {{1, 40}, {2, 140}, {3, 400}, {4, 60}, {5, 60}}, {{2, 3}, {3, 4}, {4, 2}});
    Second(program, {{1, 160}});
    Second(program, {{1, 400}});
    Second(program, {{1, 800}});
    Second(program, {{1, 600}, {3, 60}}, {{3, 1}}); // 3 reads 128 A
    for (const int current : {300, 120, 90, 90})
        Second(program, {{1, current}});
    EXPECT_EQ(MotorLines(), (std::vector<std::string>{
                                "1 пуск", "2 пуск", "3 пуск", "4 пуск", "5 пуск", "5 пуск завершён 60,0 0,0",
                                "2 затянутый пуск 140,0 3,0 !", "2 выше номинала", "4 пуск завершён 60,0 1,0",
                                "3 пуск завершён 400,0 5,0", "1 пуск завершён 800,0 7,0"}));
}

// All 72 converters at full scale are one alarm for the plant, not 72 motors' events, even where the
// cycles on the fault's edges average full-scale scans with the motors' own; after it each motor is
// learnt afresh. Motor 1 and every even channel from 6 on run (the defaults' 449 A at count 9).
TEST_F(EventsTest, AllConvertersAtFullScaleWithMixedEdgesAreOnePlantAlarm) {
    Program program(Environment());
    ASSERT_TRUE(program.Start());
    program.Recorder().StopTimers();
    std::map<int, int> running{{1, 80}}, fullScale, late;
    for (int n = 6; n <= channels::kChannelCount; n += 2)
        running[n] = 9;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        fullScale[n] = 1023;
        late[n] = n % 4 + 1;
    }
    Second(program, running);
    Second(program, {});
    Second(program, fullScale, late);
    for (int s = 0; s < 6; ++s)
        Second(program, {});
    std::map<int, int> answering;
    for (int n = 1; n <= channels::kChannelCount; ++n)
        answering[n] = running.contains(n) ? running[n] : 0;
    Second(program, answering, late);
    Second(program, {});
    Second(program, {{1, 0}});
    Second(program, {});
    std::vector<std::string> lines;
    for (const auto& f : events::EventJournal::Read(folder.File("Data/06.12.2026.events.csv")))
        lines.push_back(ChannelText(f) + ' ' + f.KindText() + (f.Alarm ? " !" : ""));
    EXPECT_EQ(lines, (std::vector<std::string>{" запуск программы", " преобразователи не отвечают !",
                                               " преобразователи отвечают", "1 останов"}));
}

TEST_F(EventsTest, AlarmsSoundUntilAcknowledgedAndCalibrationChangesAreJournalled) {
    Program program(Environment());
    ASSERT_TRUE(program.Start());
    program.Recorder().StopTimers();
    Second(program, {});
    Second(program, {{4, 90}});
    Second(program, {{4, 60}});
    Second(program, {});         // its start settles
    Second(program, {{4, 200}}); // an overload of a running motor
    Second(program, {});
    AlarmLine* line = program.Main().Alarms();
    EXPECT_FALSE(line->isHidden());
    EXPECT_NE(line->Text()->toolTip().indexOf(QStringLiteral("перегрузка")), -1);
    EXPECT_NE(line->Text()->toolTip().indexOf(QStringLiteral("канал 4")), -1);
    EXPECT_TRUE(program.Sound().Sounding());
    const int played = program.Sound().Played();
    EXPECT_GE(played, 1);

    // Silenced, it stays in the line; acknowledged, it goes from the line but stays listed while active.
    line->SilenceButton()->click();
    EXPECT_FALSE(program.Sound().Sounding());
    EXPECT_TRUE(line->SilenceButton()->text().startsWith(QStringLiteral("без звука до ")));
    EXPECT_FALSE(line->isHidden());
    line->AcknowledgeButton()->click();
    EXPECT_TRUE(line->isHidden());
    EXPECT_EQ(program.Station().Journal().Alarms().UnacknowledgedCount(), 0);
    EXPECT_EQ(program.Station().Journal().Alarms().ActiveCount(), 1);

    // A second alarm, acknowledged from the journal window with "квитировать все".
    Second(program, {{5, 400}});
    Second(program, {{5, 1023}});
    for (int s = 0; s < 5; ++s)
        Second(program, {});
    EXPECT_FALSE(line->isHidden());
    JournalWindow& journal = program.Journal();
    journal.ShowModeless();
    EXPECT_EQ(journal.AlarmList()->topLevelItemCount(), 2);
    journal.AcknowledgeAllButton()->click();
    EXPECT_TRUE(line->isHidden());
    EXPECT_FALSE(journal.AcknowledgeAllButton()->isEnabled());

    // "применить" with a new nominal current: old and new in the journal.
    program.Main().SelectChannel(4);
    program.Calibration().Edit4()->setText(QStringLiteral("120"));
    program.Calibration().Button1Click();
    ASSERT_EQ(program.Data().Ustavki[4].T_Nom, 120);

    const auto lines = events::EventJournal::Read(folder.File("Data/06.12.2026.events.csv"));
    std::vector<std::string> audit;
    for (const auto& f : lines)
        if (f.Kind == events::EventKind::Acknowledged || f.Kind == events::EventKind::CalibrationChanged)
            audit.push_back(events::JournalTimeText(f.Time.value_or(0)).substr(11) + ' ' + ChannelText(f) +
                            ' ' + f.KindText() + ": " + f.Details);
    EXPECT_EQ(audit,
              (std::vector<std::string>{"08:30:06 4 квитирование: перегрузка с 08:30:05",
                                        "08:30:13 5 квитирование: неисправность преобразователя с 08:30:13",
                                        "08:30:13 4 изменение калибровки: Ток ном.: 100 → 120"}));

    // The window follows the journal and filters it.
    const int all = journal.Table()->model()->rowCount();
    EXPECT_EQ(static_cast<std::size_t>(all), lines.size());
    journal.KindChoice()->setCurrentText(QStringLiteral("квитирование"));
    EXPECT_EQ(journal.Table()->model()->rowCount(), 2);
    journal.SectionChoice()->setCurrentIndex(1);
    journal.MotorChoice()->setCurrentIndex(journal.MotorChoice()->findData(5));
    EXPECT_EQ(journal.Table()->model()->rowCount(), 1);
    EXPECT_EQ(journal.Table()->model()->index(0, JournalModel::Channel).data().toString(),
              QStringLiteral("5"));
}

} // namespace
} // namespace registrator::ui
