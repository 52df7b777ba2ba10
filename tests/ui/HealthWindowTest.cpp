#include "ui/health/HealthWindow.h"

#include "UiTestSupport.h"
#include "support/DriftingPlant.h"
#include "ui/health/DailyChart.h"
#include "ui/monitor/MainWindow.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <gtest/gtest.h>

namespace registrator::ui {
namespace {

using Plant = support::DriftingPlant;

// Sixty days of the plant ending yesterday, the program's settings file with a margin it must refuse.
TEST(HealthWindow, TheDriftingMotorsAreFlaggedPlainlyAndASavedMarginCountsAtOnce) {
    support::TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "bin");
    std::filesystem::create_directories(folder.Path() / "Data");
    const std::string ini = folder.File("bin/Registrator.INI");
    support::WriteFileBytes(ini, "[Health]\r\nMargin=abc\r\n");
    common::SettableClock clock{common::EncodeDate(2026, 6, 1) + common::EncodeTime(9, 0, 0, 0)};
    ASSERT_TRUE((Plant{clock.Today() - Plant::kDays, 400}).Write(folder.Slash() + "Data/"));
    testing::RecordingDialogs dialogs;
    Program program(testing::FolderEnvironment(clock, dialogs, folder));
    ASSERT_TRUE(program.Start());
    program.Recorder().StopTimers();

    HealthWindow& window = program.Health();
    QSignalSpy counted(&window, &HealthWindow::counted);
    program.Main().findChild<QAction*>(QStringLiteral("N6"))->trigger();
    ASSERT_TRUE(window.isVisible());
    EXPECT_TRUE(window.MarginNote()->text().contains(QStringLiteral("Margin=abc")));
    EXPECT_EQ(window.MarginBox()->value(), 25);
    ASSERT_TRUE(counted.wait(240000));

    const QAbstractItemModel& table = *window.Table()->model();
    const auto cell = [&](int channel, int column, int role = Qt::DisplayRole) {
        return table.index(channel - 1, column).data(role);
    };
    ASSERT_EQ(table.rowCount(), 72);
    constexpr int kSeconds = 2;
    constexpr int kCurrent = 5;
    for (int n = 1; n <= 72; ++n)
        for (int column = kSeconds; column <= kCurrent; ++column) {
            const bool drifted = (n == Plant::kLongerStarts && column == kSeconds) ||
                                 (n == Plant::kMoreCurrent && column == kCurrent);
            const QString text = cell(n, column).toString();
            EXPECT_EQ(text.startsWith(QStringLiteral("ВЫШЕ: ")), drifted) << n << ' ' << text.toStdString();
            EXPECT_EQ(cell(n, column, Qt::BackgroundRole).isValid(), drifted) << n << ' ' << column;
            EXPECT_TRUE(text.contains(QStringLiteral(" (было "))) << n << ' ' << text.toStdString();
        }
    EXPECT_TRUE(cell(12, 1).toString().startsWith(QStringLiteral("12. ")));
    EXPECT_TRUE(window.Status()->text().contains(QStringLiteral("отмечено двигателей — 2 из 72")))
        << window.Status()->text().toStdString();

    // The selected motor's days: one point for each day recorded, the past's median as the line.
    window.Table()->selectRow(Plant::kLongerStarts - 1);
    ASSERT_EQ(window.ShownChannel(), Plant::kLongerStarts);
    const DailyChart& seconds = *window.Chart(reports::HealthFigure::StartSeconds);
    EXPECT_EQ(seconds.PointCount(), Plant::kDays) << "today has no records yet";
    EXPECT_EQ(seconds.LineValue(), window.Health()->Drifts[Plant::kLongerStarts].StartSeconds.Past);
    EXPECT_EQ(window.Chart(reports::HealthFigure::RunHours)->PointCount(), Plant::kDays);

    // A margin wider than either drift, saved: into the settings file, and no motor flagged.
    window.MarginBox()->setValue(60);
    window.findChild<QPushButton*>(QStringLiteral("SaveMarginButton"))->click();
    EXPECT_NE(support::ReadFileBytes(ini).find("Margin=60"), std::string::npos);
    EXPECT_TRUE(window.MarginNote()->text().isEmpty());
    EXPECT_FALSE(cell(Plant::kLongerStarts, kSeconds).toString().startsWith(QStringLiteral("ВЫШЕ")));
    EXPECT_FALSE(cell(Plant::kMoreCurrent, kCurrent).toString().startsWith(QStringLiteral("ВЫШЕ")));

    // Opened again and closed while it reads: nothing more comes of that reading.
    program.Main().findChild<QAction*>(QStringLiteral("N6"))->trigger();
    EXPECT_TRUE(window.Counting());
    window.close();
    EXPECT_FALSE(window.Counting());
    EXPECT_FALSE(counted.wait(300));
    EXPECT_EQ(counted.size(), 1);
}

} // namespace
} // namespace registrator::ui
