#include "UiTestSupport.h"
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
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace registrator::ui {
namespace {

// Without the fix the alarm line led with the motor's panel caption and the main window cut off since
// when and how many more, and a renamed motor kept its caption; the journal window's "квитировать" was
// enabled with no alarm picked and did nothing, each new line moved the rows under the operator's
// pointer, and the scan timing window's changes went unjournalled.
TEST(OperatorAlarms, TheLineLeadsWithTimeAndCountAndTheJournalWindowKeepsTheOperatorsRows) {
    support::TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "bin");
    std::filesystem::create_directories(folder.Path() / "Data");
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(8, 30, 0, 0)};
    testing::RecordingDialogs dialogs;
    Program program(testing::FolderEnvironment(clock, dialogs, folder));
    ASSERT_TRUE(program.Start());
    program.Recorder().StopTimers();
    // The converters read 0, so with k = 0 a motor's current is -b. Each motor starts unloaded, runs,
    // then overloads: motors 1..11 at 08:30:06, motor 12, of a long name, at 08:30:13.
    const QString name = QStringLiteral("Вытягиватель из печи сушильной камеры");
    for (int n = 1; n <= 12; ++n)
        program.Data().Ustavki[n] = {
            common::MotorName::FromUtf8(n == 12 ? name.toStdString() : "Мотор " + std::to_string(n)),
            100,
            150,
            0,
            0,
            0,
            5}; // nominal, critical, k, b, power, off
    for (const auto& [from, to] : {std::pair{1, 11}, std::pair{12, 12}})
        for (double current : {0.0, 90.0, 90.0, 90.0, 90.0, 200.0, 200.0}) {
            for (int n = from; n <= to; ++n)
                program.Data().Ustavki[n].Koof_B = -current;
            clock.AdvanceMs(1000);
            program.Recorder().Timer1Timer();
        }
    QCoreApplication::processEvents(); // the line's layout

    const QLabel* text = program.Main().Alarms()->Text();
    EXPECT_TRUE(text->text().startsWith(QStringLiteral("с 08:30:13 · ещё 11 тревог · перегрузка")))
        << text->text().toStdString();
    EXPECT_LE(text->fontMetrics().horizontalAdvance(text->text()), text->width());
    EXPECT_EQ(text->toolTip(),
              QStringLiteral("Тревога: перегрузка: ") + name +
                  QStringLiteral(" (Массоподготовка, канал 12), с 08:30:13  (ещё не квитировано: 11)"));

    JournalWindow& journal = program.Journal();
    journal.ShowModeless();
    EXPECT_FALSE(journal.AcknowledgeButton()->isEnabled());
    QTableView* table = journal.Table();
    const int rows = table->model()->rowCount();
    table->verticalScrollBar()->setValue(5);
    table->selectRow(12);
    const auto lineAt = [&](int row) {
        return table->model()->index(row, JournalModel::Time).data().toString() +
               table->model()->index(row, JournalModel::Kind).data().toString() +
               table->model()->index(row, JournalModel::Channel).data().toString();
    };
    const QString top = lineAt(table->indexAt(QPoint(1, 1)).row());
    const QString picked = lineAt(12);
    const auto third = journal.AlarmList()->findItems(QStringLiteral("3 — Мотор 3"), Qt::MatchExactly, 2);
    ASSERT_EQ(third.size(), 1);
    journal.AlarmList()->setCurrentItem(third.front());
    journal.AcknowledgeButton()->click();
    EXPECT_TRUE(text->text().startsWith(QStringLiteral("с 08:30:13 · ещё 10 тревог")));
    ASSERT_EQ(journal.AlarmList()->selectedItems().size(), 1);
    EXPECT_EQ(journal.AlarmList()->selectedItems().front()->text(4), QStringLiteral("да"));
    EXPECT_FALSE(journal.AcknowledgeButton()->isEnabled());
    // Its line came in on top, out of sight.
    ASSERT_EQ(table->model()->rowCount(), rows + 1);
    EXPECT_EQ(lineAt(table->indexAt(QPoint(1, 1)).row()), top);
    ASSERT_EQ(table->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(lineAt(table->selectionModel()->selectedRows().front().row()), picked);
    EXPECT_EQ(table->model()->index(0, JournalModel::Details).data(Qt::ToolTipRole).toString(),
              QStringLiteral("перегрузка с 08:30:06"));

    program.Timing().UpDown2()->setValue(program.Recorder().Timer1().interval() + 7);
    program.Timing().BitBtn3Click();
    EXPECT_EQ(table->model()->index(0, JournalModel::Kind).data().toString(),
              QStringLiteral("изменение опроса"));
    EXPECT_EQ(table->model()->index(0, JournalModel::Details).data().toString(),
              QStringLiteral("скорость сканирования: 10 мс → 17 мс"));
    // Renamed in the calibration window: renamed in the alarm line at once.
    program.Main().SelectChannel(12);
    program.Calibration().Edit1()->setText(QStringLiteral("Печь 2"));
    program.Calibration().Button1Click();
    EXPECT_TRUE(text->text().endsWith(QStringLiteral("перегрузка: 12 — Печь 2")))
        << text->text().toStdString();
    program.Shutdown();
}

} // namespace
} // namespace registrator::ui
