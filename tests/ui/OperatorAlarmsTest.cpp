// What the operator sees of the alarms in the windows: the alarm line at the main window's own width,
// the journal window while alarms come, and the scan timing window's changes in the journal.
#include "UiTestSupport.h"
#include "events/EventJournal.h"
#include "support/TempFolder.h"
#include "ui/app/Program.h"
#include "ui/events/AlarmLine.h"
#include "ui/events/JournalWindow.h"
#include "ui/monitor/MainWindow.h"
#include "ui/tuning/CalibrationWindow.h"
#include "ui/tuning/ScanTimingWindow.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <map>

namespace registrator::ui {
namespace {

const char* const kLongName = "Вытягиватель из печи сушильной камеры";

// The program over a port whose converters all read 0; with k = 0 each motor's current is -b: twelve
// motors of nominal 100 A and critical 150 A, off at 5 A or below, channel 12 with a long name.
class OperatorAlarmsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder.Path() / "bin");
        std::filesystem::create_directories(folder.Path() / "Data");
        ASSERT_TRUE(program.Start());
        program.Recorder().StopTimers();
        for (int n = 1; n <= 12; ++n) {
            channels::TUstavka& motor = program.Data().Ustavki[n];
            motor.Name = common::MotorName::FromUtf8(n == 12 ? kLongName : "Мотор " + std::to_string(n));
            motor.Koof_K = 0;
            motor.Koof_B = 0;
            motor.T_Nom = 100;
            motor.T_Max = 150;
            motor.Oborot = 5;
        }
    }
    void TearDown() override { program.Shutdown(); }

    // One second of the plant with these currents, the rest as they were: one scan cycle.
    void Second(const std::map<int, double>& currents = {}) {
        for (auto [channel, current] : currents)
            program.Data().Ustavki[channel].Koof_B = -current;
        clock.AdvanceMs(1000);
        program.Recorder().Timer1Timer();
    }
    // Motors 1..11 overloaded at 08:30:03, then motor 12 at 08:30:05.
    void TwelveOverloads() {
        Second();
        std::map<int, double> starting, overloaded;
        for (int n = 1; n <= 11; ++n) {
            starting[n] = 90;
            overloaded[n] = 200;
        }
        Second(starting);
        Second(overloaded);
        Second({{12, 90}});
        Second({{12, 200}});
    }
    std::vector<std::vector<std::string>> JournalLines() const {
        return events::EventJournal::Read(folder.File("Data/06.12.2026.events.csv"));
    }
    // For a person to look at, where REGISTRATOR_UI_SHOTS says; a run without it keeps none.
    static void SaveShot(QWidget& widget, const QString& name) {
        const QString shots = qEnvironmentVariable("REGISTRATOR_UI_SHOTS");
        if (!shots.isEmpty()) {
            EXPECT_TRUE(widget.grab().save(shots + QLatin1Char('/') + name));
        }
    }

    support::TempFolder folder;
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(8, 30, 0, 0)};
    testing::RecordingDialogs dialogs;
    Program program{testing::FolderEnvironment(clock, dialogs, folder)};
};

// Without the fix the line led with the motor's panel caption and the main window cut off since when
// and how many more; a renamed motor kept its old caption.
TEST_F(OperatorAlarmsTest, TheAlarmLineLeadsWithSinceWhenAndHowManyMoreAtTheMainWindowsWidth) {
    const int width = program.Main().width();
    TwelveOverloads();
    QCoreApplication::processEvents(); // the line's layout
    const AlarmLine* line = program.Main().Alarms();
    ASSERT_FALSE(line->isHidden());
    EXPECT_EQ(program.Main().width(), width);
    const QLabel* text = line->Text();
    EXPECT_TRUE(text->text().startsWith(QStringLiteral("с 08:30:05 · ещё 11 тревог · перегрузка")))
        << text->text().toStdString();
    EXPECT_LE(text->fontMetrics().horizontalAdvance(text->text()), text->width());
    EXPECT_EQ(text->toolTip(),
              QStringLiteral("Тревога: перегрузка: ") + QString::fromUtf8(kLongName) +
                  QStringLiteral(" (Массоподготовка, канал 12), с 08:30:05  (ещё не квитировано: 11)"));
    SaveShot(program.Main(), QStringLiteral("alarm-line.png"));

    // Renamed in the calibration window: renamed in the line at once.
    program.Main().SelectChannel(12);
    program.Calibration().Edit1()->setText(QStringLiteral("Печь 2"));
    program.Calibration().Button1Click();
    EXPECT_EQ(line->Text()->toolTip().indexOf(QString::fromUtf8(kLongName)), -1);
    EXPECT_TRUE(line->Text()->text().endsWith(QStringLiteral("перегрузка: 12 — Печь 2")))
        << line->Text()->text().toStdString();
}

// Without the fix "квитировать" was enabled with no alarm picked and then did nothing, and each new
// line moved the journal's rows under the operator's pointer.
TEST_F(OperatorAlarmsTest, TheJournalWindowActsOnAPickedAlarmAndKeepsTheOperatorsRowsInPlace) {
    TwelveOverloads();
    JournalWindow& journal = program.Journal();
    journal.ShowModeless();
    QCoreApplication::processEvents();
    EXPECT_FALSE(journal.AcknowledgeButton()->isEnabled());
    EXPECT_TRUE(journal.AcknowledgeAllButton()->isEnabled());

    QTableView* table = journal.Table();
    const int rows = table->model()->rowCount();
    ASSERT_GT(rows, 40);
    table->verticalScrollBar()->setValue(5);
    table->selectRow(12);
    const auto lineAt = [&](int row) {
        QStringList fields;
        for (int column : {JournalModel::Time, JournalModel::Kind, JournalModel::Channel})
            fields << table->model()->index(row, column).data().toString();
        return fields.join(' ');
    };
    const QString top = lineAt(table->indexAt(QPoint(1, 1)).row());
    const QString picked = lineAt(12);

    QTreeWidget* alarms = journal.AlarmList();
    const QList<QTreeWidgetItem*> third =
        alarms->findItems(QStringLiteral("3 — Мотор 3"), Qt::MatchExactly, 2);
    ASSERT_EQ(third.size(), 1);
    alarms->setCurrentItem(third.front());
    ASSERT_TRUE(journal.AcknowledgeButton()->isEnabled());
    journal.AcknowledgeButton()->click();
    QCoreApplication::processEvents();

    EXPECT_EQ(program.Station().Alarms().UnacknowledgedCount(), 11);
    // Still listed, picked, and acknowledged: nothing more to do for it.
    ASSERT_EQ(alarms->selectedItems().size(), 1);
    EXPECT_EQ(alarms->selectedItems().front()->text(2), QStringLiteral("3 — Мотор 3"));
    EXPECT_EQ(alarms->selectedItems().front()->text(4), QStringLiteral("да"));
    EXPECT_FALSE(journal.AcknowledgeButton()->isEnabled());
    // The acknowledgement came in on top, out of sight; the rows in view and the picked one stayed.
    ASSERT_EQ(table->model()->rowCount(), rows + 1);
    EXPECT_EQ(lineAt(table->indexAt(QPoint(1, 1)).row()), top);
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(lineAt(selected.front().row()), picked);
    const QModelIndex details = table->model()->index(0, JournalModel::Details);
    EXPECT_EQ(details.data(Qt::ToolTipRole).toString(), QStringLiteral("перегрузка с 08:30:03"));
    SaveShot(journal, QStringLiteral("journal-after-acknowledgement.png"));
}

TEST_F(OperatorAlarmsTest, ScanTimingChangesGoIntoTheJournalOldAndNew) {
    ScanTimingWindow& timing = program.Timing();
    const int fast = program.Recorder().Timer1().interval();
    const int avg = program.Data().AvgCount;
    timing.UpDown1()->setValue(program.Recorder().Timer2().interval() / 10);
    timing.UpDown2()->setValue(fast + 7);
    timing.MaskEdit7()->setText(QStringLiteral("3"));
    timing.BitBtn3Click();
    timing.BitBtn3Click(); // nothing changed this time
    std::vector<std::string> changes;
    for (const auto& fields : JournalLines())
        if (fields[1] == "изменение опроса")
            changes.push_back(fields[8]);
    EXPECT_EQ(changes, std::vector<std::string>{"скорость сканирования: " + std::to_string(fast) + " мс → " +
                                                std::to_string(fast + 7) + " мс, среднее арифметическое: " +
                                                std::to_string(avg) + " → 3"});
}

} // namespace
} // namespace registrator::ui
