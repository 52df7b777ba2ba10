#include "UiTestSupport.h"
#include "common/Cp1251.h"
#include "support/TempFolder.h"
#include "ui/app/Program.h"
#include "ui/archive/ArchiveFolderWindow.h"
#include "ui/archive/ArchiveViewerWindow.h"
#include "ui/archive/ArhivGridModel.h"
#include "ui/archive/DaySummaryPanel.h"
#include "ui/monitor/MainWindow.h"
#include "ui/widgets/TrendChart.h"

#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeView>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace registrator::ui {
namespace {

using support::TempFolder;

using testing::FixedStatusPort;
using testing::RecordingDialogs;

const QString kOpenFailed = QStringLiteral("message: Ошибка открытия файла БД.");
const QString kNoData = QStringLiteral("message: В БД нет запрашиваемой информации.");

// The whole program on 6 December 2026, its timers stopped; the archive folder is empty until a test
// writes a day into it.
class ArchiveViewerTest : public ::testing::Test {
protected:
    ArchiveViewerTest() : program(Environment()) {
        std::filesystem::create_directories(folder.Path() / "bin");
        std::filesystem::create_directories(folder.Path() / "Data");
        program.Start();
        program.Recorder().Timer1().stop();
        program.Recorder().Timer2().stop();
        dialogs.Boxes.clear();
    }
    ~ArchiveViewerTest() override { program.Shutdown(); }

    ProgramEnvironment Environment() { return testing::FolderEnvironment(clock, dialogs, folder); }
    ArchiveViewerWindow& Viewer() { return program.ArchiveViewer(); }
    TrendChart& Chart() { return *Viewer().Chart1(); }
    std::filesystem::path DataFile(const std::string& name) const { return folder.Path() / "Data" / name; }

    // A snapshot of the day naming each motor "<prefix> n", with nominal n + 0.5 and critical 2n.
    void WriteSnapshot(const std::string& date, const std::string& prefix) {
        std::ofstream out(DataFile(date + "UST.txt"), std::ios::binary);
        for (int n = 1; n <= 72; ++n) {
            archive::TUstRec rec;
            const std::string name = common::Utf8ToCp1251(prefix + " " + std::to_string(n));
            rec.NameLength = static_cast<std::uint8_t>(name.size());
            std::copy(name.begin(), name.end(), rec.Name);
            rec.T_Nom = n + 0.5;
            rec.T_Max = 2 * n;
            rec.Moshn = 10 * n;
            out.write(reinterpret_cast<const char*>(&rec), sizeof rec);
        }
    }
    // `count` records a second apart from 9:00:00; channel n reads 100 n + the record's number, channel 3
    // what `third` gives for the record's number when there is one.
    void WriteDay(const std::string& date, int count, const std::function<double(int)>& third = {}) {
        std::ofstream out(DataFile(date + ".txt"), std::ios::binary);
        for (int i = 1; i <= count; ++i) {
            archive::TArhivRec rec;
            rec.Time = common::EncodeTime(9, (i - 1) / 60, (i - 1) % 60, 0);
            for (int n = 1; n <= 72; ++n)
                rec.Tok[n - 1] = 100 * n + i;
            if (third)
                rec.Tok[2] = third(i);
            out.write(reinterpret_cast<const char*>(&rec), sizeof rec);
        }
    }
    void Refresh() { QTest::mouseClick(Viewer().BitBtn1(), Qt::LeftButton); }
    QString Reading(int row) { return Viewer().Grid()->Cell(1, row); }

    TempFolder folder;
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(8, 30, 0, 0)};
    RecordingDialogs dialogs;
    Program program;
};

TEST_F(ArchiveViewerTest, TabsPickTheChannelAndASectionChangeNamesTheTabsFromTheHeldSnapshot) {
    WriteSnapshot("06.12.2026", "Мотор");
    WriteDay("06.12.2026", 3);
    EXPECT_FALSE(Viewer().isVisible());
    EXPECT_EQ(Viewer().DateTimePicker1()->date(), QDate(2026, 12, 6));
    EXPECT_EQ(Viewer().TabControl2()->tabText(0), QStringLiteral("  Рыхлит.1"));
    EXPECT_EQ(Viewer().TabControl2()->tabText(4), QStringLiteral("Ковейер T1"));
    EXPECT_EQ(Viewer().Lb_tok_nom()->text(), QStringLiteral("00000"));
    EXPECT_EQ(Chart().Title(), QStringLiteral("График"));

    program.Main().N3Click();
    EXPECT_TRUE(Viewer().isVisible());
    EXPECT_EQ(Viewer().Grid()->rowCount(), 0); // showing loads nothing
    // Without the fix it wrote a file of a header alone.
    EXPECT_FALSE(Viewer().ExportButton()->isEnabled());

    Viewer().TabControl2()->setCurrentIndex(11);
    EXPECT_EQ(Reading(0), QStringLiteral("1201"));
    EXPECT_TRUE(Viewer().ExportButton()->isEnabled());
    EXPECT_EQ(Chart().Title(), QStringLiteral("Мотор 12"));

    // The tabs are named from the snapshot of the last refresh, the chart from the one it reads.
    Viewer().TabControl2()->setCurrentIndex(0);
    WriteSnapshot("06.12.2026", "Печь");
    Viewer().TabControl1()->setCurrentIndex(4);
    EXPECT_EQ(Viewer().windowTitle(), QStringLiteral("Печь Б"));
    EXPECT_EQ(Viewer().TabControl2()->tabText(0), QStringLiteral("Мотор 49"));
    EXPECT_EQ(Reading(0), QStringLiteral("4901"));
    EXPECT_EQ(Chart().Title(), QStringLiteral("Печь 49"));

    Viewer().TabControl1()->setCurrentIndex(0);
    Viewer().TabControl2()->setCurrentIndex(3);
    Viewer().TabControl1()->setCurrentIndex(1);
    EXPECT_EQ(Viewer().SelectedChannel(), 16);
    EXPECT_EQ(Reading(2), QStringLiteral("1603"));
    EXPECT_TRUE(dialogs.Boxes.isEmpty()) << dialogs.Boxes.join('\n').toStdString();

    QTest::mouseClick(Viewer().Button3(), Qt::LeftButton);
    EXPECT_FALSE(Viewer().isVisible());
}

TEST_F(ArchiveViewerTest, AThreeRecordDayFillsTableAndChartAndAPickedDateWaitsForTheRefresh) {
    WriteSnapshot("06.12.2026", "Мотор");
    WriteDay("06.12.2026", 3);
    Viewer().TabControl2()->setCurrentIndex(1);
    EXPECT_EQ(Viewer().Lb_tok_nom()->text(), QStringLiteral("2,5"));
    EXPECT_EQ(Viewer().Lb_tok_max()->text(), QStringLiteral("4"));
    EXPECT_EQ(Viewer().Lb_moshn()->text(), QStringLiteral("20"));
    ASSERT_EQ(Viewer().Grid()->rowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(Viewer().Grid()->Cell(0, r), QStringLiteral("9:00:0%1").arg(r));
        EXPECT_EQ(Reading(r), QString::number(201 + r));
    }
    for (int series = 0; series < 3; ++series)
        EXPECT_EQ(Chart().graph(series)->dataCount(), 3);
    for (int key = 1; key <= 3; ++key) {
        EXPECT_EQ(Chart().ValueAt(0, key), 200 + key);
        EXPECT_EQ(Chart().ValueAt(1, key), 2.5);
        EXPECT_EQ(Chart().ValueAt(2, key), 4);
    }
    // Every reading is above critical: one episode over the three records.
    ASSERT_EQ(Viewer().Summary()->Episodes()->count(), 1);
    EXPECT_EQ(Viewer().Summary()->Episodes()->item(0)->text(),
              QStringLiteral("9:00:00 – 9:00:03, пик 203 А"));

    Viewer().DateTimePicker1()->setDate(QDate(2026, 12, 5));
    EXPECT_EQ(Viewer().Grid()->rowCount(), 3);
    EXPECT_EQ(Chart().graph(0)->dataCount(), 3);
    EXPECT_TRUE(dialogs.Boxes.isEmpty());
    // That day has no files: each reader says so, and the view falls back on what the tables hold.
    Refresh();
    EXPECT_EQ(dialogs.Boxes, (QStringList{kOpenFailed, kOpenFailed}));
    EXPECT_EQ(Viewer().Grid()->rowCount(), 3);
    EXPECT_EQ(Chart().Title(), QStringLiteral("Мотор 2"));
}

// After a failed refresh the tables kept the earlier day while the export proposed the picked day's
// name, and the summary judged a day without its snapshot by whatever snapshot was loaded last.
TEST_F(ArchiveViewerTest, TheViewerSaysWhichDayItHoldsAndJudgesEachDayByItsOwnSnapshotOrTheSettings) {
    WriteSnapshot("05.12.2026", "Мотор");
    WriteDay("05.12.2026", 3, [](int) { return 5.0; }); // channel 3: nominal 3,5 A, critical 6 A that day
    WriteDay("04.12.2026", 2, [](int) { return 5.0; });
    Viewer().TabControl2()->setCurrentIndex(2);
    Viewer().DateTimePicker1()->setDate(QDate(2026, 12, 5));
    Refresh();
    EXPECT_EQ(Viewer().ShownDay()->text(), QStringLiteral("показан: 05.12.2026, 3\u00A0записи"));
    EXPECT_TRUE(Viewer().Summary()->Lines().contains(QStringLiteral("Уставки: из снимка дня")));
    EXPECT_TRUE(Viewer().Summary()->Lines().contains(QStringLiteral("Выше номинального: 0:00:03")));

    Viewer().DateTimePicker1()->setDate(QDate(2026, 12, 3));
    dialogs.Boxes.clear();
    Refresh();
    EXPECT_EQ(dialogs.Boxes, (QStringList{kOpenFailed, kOpenFailed}));
    EXPECT_EQ(Viewer().ShownDay()->text(), QStringLiteral("показан: 05.12.2026, 3\u00A0записи"));

    // The 4th has no snapshot: the settings in force (switch-off 320 A), not the 5th's thresholds.
    Viewer().DateTimePicker1()->setDate(QDate(2026, 12, 4));
    Refresh();
    EXPECT_EQ(Viewer().ShownDay()->text(), QStringLiteral("показан: 04.12.2026, 2\u00A0записи"));
    EXPECT_EQ(Viewer().Lb_tok_max()->text(), QStringLiteral("6")) << "the plates keep the loaded snapshot";
    EXPECT_TRUE(Viewer().Summary()->Lines().contains(QStringLiteral("Уставки: текущие (снимка дня нет)")));
    EXPECT_TRUE(Viewer().Summary()->Lines().contains(QStringLiteral("Отключён: 0:00:02")));
}

// A stop of the recorder read as a steady current, a one-record day drew nothing, a wide threshold
// lost its first digits on the plate, and an empty day kept the last day's axes.
TEST_F(ArchiveViewerTest, GapsAreMarkedAndEveryDayIsDrawnReadably) {
    WriteSnapshot("06.12.2026", "Мотор");
    {
        std::ofstream out(DataFile("06.12.2026UST.txt"), std::ios::binary | std::ios::in);
        const double wide = 1234567.125;
        out.seekp(2 * 80 + 64);
        out.write(reinterpret_cast<const char*>(&wide), sizeof wide); // channel 3's critical current
    }
    WriteDay("06.12.2026", 10);
    {
        // The last five records an hour later: the recorder was stopped meanwhile.
        std::fstream day(DataFile("06.12.2026.txt"), std::ios::binary | std::ios::in | std::ios::out);
        for (int i = 5; i < 10; ++i) {
            const double time = common::EncodeTime(10, 0, i, 0);
            day.seekp(i * 584);
            day.write(reinterpret_cast<const char*>(&time), sizeof time);
        }
    }
    Viewer().TabControl2()->setCurrentIndex(2);
    EXPECT_EQ(Chart().GapCount(), 1);
    EXPECT_TRUE(Viewer()
                    .Grid()
                    ->data(Viewer().Grid()->index(5, 1), Qt::ToolTipRole)
                    .toString()
                    .endsWith(QStringLiteral("1:00:01")));
    EXPECT_FALSE(Viewer().Grid()->data(Viewer().Grid()->index(4, 1), Qt::ToolTipRole).isValid());
    QLabel* plate = Viewer().Lb_tok_max();
    EXPECT_EQ(plate->text(), QStringLiteral("1234567,125"));
    EXPECT_LE(plate->fontMetrics().horizontalAdvance(plate->text()), plate->contentsRect().width());

    WriteDay("06.12.2026", 1);
    Refresh();
    EXPECT_EQ(Chart().GapCount(), 0);
    EXPECT_NE(Chart().graph(0)->scatterStyle().shape(), QCPScatterStyle::ssNone) << "one point, no line";

    const QCPRange emptyKeys = TrendChart(common::RegionalSettings::Russian()).xAxis->range();
    WriteDay("06.12.2026", 0);
    dialogs.Boxes.clear();
    Refresh();
    EXPECT_EQ(Chart().xAxis->range(), emptyKeys);

    // After midnight "сегодня" brings the picker to the new day and shows it.
    clock.Set(common::EncodeDate(2026, 12, 7) + common::EncodeTime(0, 5, 0, 0));
    WriteDay("07.12.2026", 4);
    QTest::mouseClick(Viewer().TodayButton(), Qt::LeftButton);
    EXPECT_EQ(Viewer().DateTimePicker1()->date(), QDate(2026, 12, 7));
    EXPECT_EQ(Viewer().Grid()->rowCount(), 4);
}

TEST_F(ArchiveViewerTest, AnEmptyReadingsFileEmptiesTableAndChartButShowsTheSnapshot) {
    WriteSnapshot("06.12.2026", "Мотор");
    WriteDay("06.12.2026", 5);
    Refresh();
    ASSERT_EQ(Viewer().Grid()->rowCount(), 5);
    WriteDay("06.12.2026", 0);
    Viewer().TabControl2()->setCurrentIndex(6);
    EXPECT_EQ(dialogs.Boxes, QStringList{kNoData});
    EXPECT_EQ(Viewer().Grid()->rowCount(), 0);
    for (int series = 0; series < 3; ++series)
        EXPECT_EQ(Chart().graph(series)->dataCount(), 0);
    EXPECT_EQ(Viewer().Lb_tok_max()->text(), QStringLiteral("14"));
    EXPECT_EQ(Chart().Title(), QStringLiteral("Мотор 7"));
}

TEST_F(ArchiveViewerTest, WritingOnADayWithoutFilesCreatesBothAndLeavesTheViewAlone) {
    program.Data().Ustavki[1].Name.AssignUtf8("Рыхлитель");
    program.Data().Ustavki[1].T_Nom = 80;
    QTest::mouseClick(Viewer().Button4(), Qt::LeftButton);
    EXPECT_EQ(std::filesystem::file_size(DataFile("06.12.2026UST.txt")), 72u * 80u);
    EXPECT_EQ(std::filesystem::file_size(DataFile("06.12.2026.txt")), 584u);
    EXPECT_EQ(Viewer().Grid()->rowCount(), 0);
    EXPECT_EQ(Chart().Title(), QStringLiteral("График"));
    EXPECT_TRUE(dialogs.Boxes.isEmpty());

    // The next refresh shows the written record and the live settings it was written with.
    Refresh();
    EXPECT_EQ(Viewer().Grid()->rowCount(), 1);
    EXPECT_EQ(Viewer().Lb_tok_nom()->text(), QStringLiteral("80"));
    EXPECT_EQ(Chart().Title(), QStringLiteral("Рыхлитель"));
}

TEST_F(ArchiveViewerTest, ExportWritesTheShownDayThroughTheToolsCsvAndAnEpisodeZoomsTheChart) {
    WriteSnapshot("06.12.2026", "Мотор");
    // Above the critical 6 A for records 100 to 104 only.
    WriteDay("06.12.2026", 200, [](int i) { return i >= 100 && i <= 104 ? 50.0 : 5.0; });
    Viewer().TabControl2()->setCurrentIndex(2);
    const QString one = QString::fromStdString((folder.Path() / "one.csv").string());
    ASSERT_TRUE(Viewer().ExportShownDay(one, false, archive::CsvForm::Spreadsheet));
    const std::string sheet = support::ReadFileBytes(one.toStdString());
    // A spreadsheet is read by people: its columns carry the motors' names of that day.
    const std::string head = "\xEF\xBB\xBFtime;ch3 Мотор 3\r\n09:00:00,000;5\r\n09:00:01,000;5\r\n";
    EXPECT_EQ(sheet.substr(0, head.size()), head);
    const QString all = QString::fromStdString((folder.Path() / "all.csv").string());
    ASSERT_TRUE(Viewer().ExportShownDay(all, true, archive::CsvForm::Plain));
    const std::string plain = support::ReadFileBytes(all.toStdString());
    EXPECT_EQ(std::count(plain.begin(), plain.end(), '\n'), 201);
    EXPECT_EQ(plain.substr(0, 17), "time,ch1,ch2,ch3,");

    EXPECT_FALSE(Viewer().ExportShownDay(QString::fromStdString((folder.Path() / "no" / "x.csv").string()),
                                         true, archive::CsvForm::Plain));
    ASSERT_EQ(dialogs.Boxes.size(), 1);
    EXPECT_TRUE(dialogs.Boxes[0].startsWith(QStringLiteral("message: Не удалось записать файл ")));

    ASSERT_EQ(Viewer().Summary()->Episodes()->count(), 1);
    EXPECT_EQ(Viewer().Summary()->Episodes()->item(0)->text(), QStringLiteral("9:01:39 – 9:01:44, пик 50 А"));
    EXPECT_EQ(Chart().xAxis->range().upper, 200);
    Viewer().ShowEpisode(0);
    EXPECT_EQ(Chart().xAxis->range().lower, 90);
    EXPECT_EQ(Chart().xAxis->range().upper, 114);
}

TEST_F(ArchiveViewerTest, FolderWindowShowsTheSelectedPathAndKeepsItAcrossShowings) {
    ArchiveFolderWindow& put = program.ArchiveFolder();
    EXPECT_FALSE(put.isVisible());
    EXPECT_EQ(put.windowTitle(), QStringLiteral("Путь к архивам"));
    EXPECT_EQ(put.Label1()->text(), QStringLiteral("c:\\data"));
    QTest::mouseClick(Viewer().Button2(), Qt::LeftButton);
    EXPECT_TRUE(put.isVisible());
    // Taking the focus makes the first item current, as this does, but selects nothing.
    QTreeView& tree = *put.ShellTreeView1();
    tree.selectionModel()->setCurrentIndex(tree.model()->index(0, 0, tree.rootIndex()),
                                           QItemSelectionModel::NoUpdate);
    EXPECT_EQ(put.Label1()->text(), QStringLiteral("c:\\data"));

    const QString picked = QString::fromStdString((folder.Path() / "Data").string());
    ASSERT_TRUE(put.SelectFolder(picked));
    EXPECT_EQ(put.Label1()->text(), QDir::toNativeSeparators(picked));
    QTest::mouseClick(put.Button1(), Qt::LeftButton);
    EXPECT_FALSE(put.isVisible());
    QTest::mouseClick(Viewer().Button2(), Qt::LeftButton);
    EXPECT_EQ(put.Label1()->text(), QDir::toNativeSeparators(picked));

    // The archive keeps its folder whatever is picked.
    QTest::mouseClick(Viewer().Button4(), Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::exists(DataFile("06.12.2026.txt")));
}

} // namespace
} // namespace registrator::ui
