#include "ui/monitor/SectionWindow.h"

#include "UiTestSupport.h"
#include "support/TempFolder.h"
#include "ui/app/Program.h"
#include "ui/monitor/MainWindow.h"
#include "ui/monitor/MimicWidgets.h"
#include "ui/monitor/MotorGraphWindow.h"
#include "ui/monitor/TokGridModel.h"
#include "ui/widgets/TrendChart.h"

#include <QAccessible>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace registrator::ui {
namespace {

using support::TempFolder;
using testing::FixedStatusPort;
using testing::RecordingDialogs;

// The whole program, its timers stopped so that the history holds only what a test writes.
class SectionWindowTest : public ::testing::Test {
protected:
    SectionWindowTest() : program(Environment()) {
        std::filesystem::create_directories(folder.Path() / "bin");
        program.Start();
        program.Recorder().Timer1().stop();
        program.Recorder().Timer2().stop();
        for (int n = 1; n <= channels::kChannelCount; ++n)
            program.Data().Ustavki[n].Name.AssignUtf8("Двигатель " + std::to_string(n));
    }
    ~SectionWindowTest() override { program.Shutdown(); }

    ProgramEnvironment Environment() { return testing::FolderEnvironment(clock, dialogs, folder); }
    channels::ChannelData& Data() { return program.Data(); }
    SectionWindow& Window() { return program.Section(); }
    TrendChart& Chart() { return *Window().Chart1(); }
    void Write(int channel, int slot, double value, int hour, int minute, int second) {
        Data().TokHistory.At(channel, slot) = {value, common::EncodeTime(hour, minute, second, 0)};
    }
    void Refresh() { QTest::mouseClick(Window().BitBtn1(), Qt::LeftButton); }

    TempFolder folder;
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(8, 30, 0, 0)};
    RecordingDialogs dialogs;
    Program program;
};

TEST_F(SectionWindowTest, SectionFrameClickOpensTheSectionAndATabRefreshSelectsItsMotor) {
    EXPECT_FALSE(Window().isVisible());
    Data().Ustavki[16].T_Nom = 117.5;
    Data().Ustavki[16].T_Max = 146;
    Data().Ustavki[16].Moshn = 28;

    QTest::mouseClick(program.Main().Frame(2), Qt::LeftButton, {}, QPoint(300, 10));
    EXPECT_TRUE(Window().isVisible());
    EXPECT_EQ(Data().SelSection, 2);
    EXPECT_EQ(Window().windowTitle(), QStringLiteral("Формовка А"));
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Window().TabControl1()->tabText(i), QStringLiteral("Двигатель %1").arg(13 + i));
    EXPECT_EQ(Window().Grid()->Cell(1, 0), QStringLiteral("ток"));
    EXPECT_EQ(Window().Grid()->Cell(2, 0), QStringLiteral("превыш."));
    // Opening selects no motor.
    EXPECT_EQ(Data().SelChannel, 0);
    EXPECT_EQ(Window().GroupBox1()->title(), QStringLiteral("Двигатель"));

    Window().TabControl1()->setCurrentIndex(3);
    EXPECT_EQ(Data().SelChannel, 16);
    Data().SelChannel = 0;
    Refresh();
    EXPECT_EQ(Data().SelChannel, 16);
    EXPECT_EQ(Chart().Title(), QStringLiteral("Двигатель 16"));
    EXPECT_EQ(Window().GroupBox1()->title(), QStringLiteral("Двигатель 16"));
    EXPECT_EQ(Window().Lb_tok_nom()->text(), QStringLiteral("117,5"));
    EXPECT_EQ(Window().Lb_tok_max()->text(), QStringLiteral("146"));
    EXPECT_EQ(Window().Lb_moshn()->text(), QStringLiteral("28"));
    EXPECT_EQ(program.MotorGraph().Pl_nom()->text(), QStringLiteral("117,5"));
    EXPECT_FALSE(program.MotorGraph().isVisible());

    // "закрыть" and the close box only hide; what was shown stays.
    QTest::mouseClick(Window().Button1(), Qt::LeftButton);
    EXPECT_FALSE(Window().isVisible());
    QTest::mouseClick(program.Main().Frame(2), Qt::LeftButton, {}, QPoint(300, 10));
    EXPECT_TRUE(Window().close());
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(Chart().Title(), QStringLiteral("Двигатель 16"));

    // A motor panel click fills the hidden window's fields too, and does not show it.
    Data().Ustavki[37].T_Nom = 80;
    QTest::mouseClick(program.Main().Panel(37), Qt::LeftButton);
    EXPECT_EQ(Data().SelChannel, 37);
    EXPECT_EQ(Window().GroupBox1()->title(), QStringLiteral("Двигатель 37"));
    EXPECT_EQ(Window().Lb_tok_nom()->text(), QStringLiteral("80"));
    EXPECT_EQ(program.MotorGraph().Pl_nom()->text(), QStringLiteral("80"));
    EXPECT_FALSE(Window().isVisible());
}

// Tabs and frame captions took '&' for a shortcut mark: "Насос 1&2" showed as "Насос 12".
TEST_F(SectionWindowTest, NamesWithAnAmpersandShowAsTheyAre) {
    Data().Ustavki[13].Name.AssignUtf8("Насос 1&2");
    program.Main().GroupBox1Click(2);
    Refresh();
    const auto shown = [](QObject* object, int child) {
        QAccessibleInterface* view = QAccessible::queryAccessibleInterface(object);
        return (child < 0 ? view : view->child(child))->text(QAccessible::Name);
    };
    EXPECT_EQ(shown(Window().TabControl1(), 0), QStringLiteral("Насос 1&2"));
    EXPECT_EQ(shown(Window().GroupBox1(), -1), QStringLiteral("Насос 1&2"));
}

TEST_F(SectionWindowTest, GridListsTheSlotsSinceTheRingWrapped) {
    for (int slot = 0; slot <= 5; ++slot)
        Write(3, slot, 10.5 + slot, 9, 15, slot);
    program.Main().GroupBox1Click(1);
    Window().TabControl1()->setCurrentIndex(2);
    struct Case {
        int tokIndex;
        int rows;
    };
    for (const Case c : {Case{0, 1}, Case{1, 2}, Case{5, 6}}) {
        Data().TokIndex = static_cast<std::uint16_t>(c.tokIndex);
        Refresh();
        const TokGridModel& grid = *Window().Grid();
        ASSERT_EQ(grid.rowCount(), c.rows) << "TokIndex " << c.tokIndex;
        EXPECT_EQ(grid.Cell(0, 0), QString());
        EXPECT_EQ(grid.Cell(1, 0), QStringLiteral("ток"));
        for (int r = 1; r < c.rows; ++r) {
            EXPECT_EQ(grid.Cell(0, r), QStringLiteral("9:15:0%1").arg(r));
            EXPECT_EQ(grid.Cell(1, r), QStringLiteral("%1,5").arg(10 + r));
            EXPECT_EQ(grid.Cell(2, r), QString());
        }
    }
    // The grid is a snapshot: a later reading shows only after the next refresh.
    Write(3, 5, 99, 9, 15, 9);
    EXPECT_EQ(Window().Grid()->Cell(1, 5), QStringLiteral("15,5"));
    Refresh();
    EXPECT_EQ(Window().Grid()->Cell(1, 5), QStringLiteral("99"));
}

TEST_F(SectionWindowTest, ChartRunsFromTheCurrentSlotThroughTheOldestToTheLastCompleted) {
    Data().Ustavki[1].T_Nom = 117;
    Data().Ustavki[1].T_Max = 146;
    Write(1, 4, 44, 10, 0, 4);
    Write(1, 5, 55, 10, 0, 5);
    Write(1, 6, 66, 10, 0, 6);
    Data().TokIndex = 5;
    program.Main().GroupBox1Click(1);
    Refresh();
    EXPECT_EQ(Chart().ValueAt(0, 1), 55);
    EXPECT_EQ(Chart().ValueAt(0, 2), 66);
    EXPECT_EQ(Chart().ValueAt(0, 3000), 44);
    EXPECT_EQ(Chart().ReadoutAt(1), QStringLiteral("10:00:05   55 А"));
    EXPECT_EQ(Chart().ReadoutAt(2999.8), QStringLiteral("10:00:04   44 А"));
    // Never written since start-up: 0 at midnight.
    EXPECT_EQ(Chart().ReadoutAt(1500), QStringLiteral("0:00:00   0 А"));
    for (const double key : {1.0, 1500.0, 3000.0}) {
        EXPECT_EQ(Chart().ValueAt(1, key), 117);
        EXPECT_EQ(Chart().ValueAt(2, key), 146);
    }
    EXPECT_EQ(Chart().ValueAt(0, 3001), std::nullopt);

    // The wrap: TokIndex 0 makes slot 2999 the last point.
    Write(1, 0, 7, 10, 50, 0);
    Write(1, 2999, 8, 10, 49, 59);
    Data().TokIndex = 0;
    Refresh();
    EXPECT_EQ(Chart().ValueAt(0, 1), 7);
    EXPECT_EQ(Chart().ValueAt(0, 3000), 8);
}

TEST_F(SectionWindowTest, TimeLabelsStayReadableAtAnyWidth) {
    for (int slot = 0; slot < channels::kRingSize; ++slot)
        Write(1, slot, slot % 100, 8, slot / 60, slot % 60);
    program.Main().GroupBox1Click(1);
    Refresh();
    const QFontMetrics metrics(Chart().xAxis->tickLabelFont());
    for (const int width : {260, 837, 1900}) {
        Chart().resize(width, 300);
        Chart().replot();
        const QStringList labels = Chart().TimeLabels();
        ASSERT_FALSE(labels.isEmpty()) << width;
        EXPECT_LE(labels.size() * metrics.horizontalAdvance(QStringLiteral("23:59:59")), width) << width;
        for (const QString& label : labels)
            EXPECT_TRUE(QTime::fromString(label, QStringLiteral("H:mm:ss")).isValid()) << label.toStdString();
    }
    EXPECT_GE(Chart().TimeLabels().size(), 8);
}

TEST_F(SectionWindowTest, AnotherSectionKeepsTheShownMotorUntilRefreshAndRenamesWaitForReopening) {
    Write(1, 0, 42, 11, 0, 0);
    program.Main().GroupBox1Click(1);
    Refresh();
    EXPECT_EQ(Data().SelChannel, 1);

    program.Main().GroupBox1Click(4);
    EXPECT_EQ(Window().windowTitle(), QStringLiteral("Печь А"));
    EXPECT_EQ(Window().TabControl1()->tabText(0), QStringLiteral("Двигатель 37"));
    EXPECT_EQ(Window().TabControl1()->currentIndex(), 0);
    EXPECT_EQ(Chart().Title(), QStringLiteral("Двигатель 1"));
    EXPECT_EQ(Chart().ValueAt(0, 1), 42);
    EXPECT_EQ(Data().SelChannel, 1);
    Refresh();
    EXPECT_EQ(Data().SelChannel, 37);
    EXPECT_EQ(Chart().ValueAt(0, 1), 0);

    // A name changed elsewhere reaches the title at the next refresh, the tab only when reopened.
    Data().Ustavki[37].Name.AssignUtf8("Гидравлика толкателя");
    Refresh();
    EXPECT_EQ(Chart().Title(), QStringLiteral("Гидравлика толкателя"));
    EXPECT_EQ(Window().GroupBox1()->title(), QStringLiteral("Гидравлика толкателя"));
    EXPECT_EQ(Window().TabControl1()->tabText(0), QStringLiteral("Двигатель 37"));
    program.Main().GroupBox1Click(4);
    EXPECT_EQ(Window().TabControl1()->tabText(0), QStringLiteral("Гидравлика толкателя"));
}

TEST_F(SectionWindowTest, ZoomAndPanStayOnTheDataWithTheValueAxisFollowing) {
    // Readings near 20 in the first half of the ring, 900 in the second; thresholds low.
    for (int slot = 0; slot < channels::kRingSize; ++slot)
        Write(1, slot, slot < 1500 ? 20 + slot % 3 : 900, 8, slot / 60, slot % 60);
    Data().Ustavki[1].T_Nom = 10;
    Data().Ustavki[1].T_Max = 30;
    program.Main().GroupBox1Click(1);
    Refresh();
    Chart().replot();
    EXPECT_EQ(Chart().xAxis->range(), QCPRange(1, 3000));
    EXPECT_GE(Chart().yAxis->range().upper, 900);

    Chart().xAxis->setRange(100, 400);
    EXPECT_LT(Chart().yAxis->range().upper, 100);
    EXPECT_GT(Chart().yAxis->range().upper, 30);
    EXPECT_LT(Chart().yAxis->range().lower, 10);
    // Past either end the view slides back onto the ring; wider than the ring it is the whole ring.
    Chart().xAxis->setRange(-99, 201);
    EXPECT_EQ(Chart().xAxis->range(), QCPRange(1, 301));
    Chart().xAxis->setRange(2900, 3100);
    EXPECT_EQ(Chart().xAxis->range(), QCPRange(2800, 3000));
    Chart().xAxis->setRange(-5000, 9000);
    EXPECT_EQ(Chart().xAxis->range(), QCPRange(1, 3000));

    // The wheel zooms time only; a double click brings the whole ring back.
    const QPoint centre = Chart().axisRect()->rect().center();
    QWheelEvent wheel(centre, Chart().mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&Chart(), &wheel);
    EXPECT_LT(Chart().xAxis->range().size(), 2999);
    QTest::mouseDClick(&Chart(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(Chart().xAxis->range(), QCPRange(1, 3000));
}

TEST_F(SectionWindowTest, ContextMenuSavesAndCopiesThePicture) {
    program.Main().GroupBox1Click(1);
    Refresh();
    std::unique_ptr<QMenu> menu(Chart().MakeContextMenu(nullptr));
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Сохранить изображение…"), QStringLiteral("Копировать")}));

    const QString path = QString::fromStdString((folder.Path() / "chart.png").string());
    ASSERT_TRUE(Chart().SaveImage(path));
    const QImage saved(path);
    EXPECT_EQ(saved.size(), Chart().size());
    // A folder that does not exist is reported, not passed off as saved.
    EXPECT_FALSE(Chart().SaveImage(QString::fromStdString((folder.Path() / "no" / "chart.png").string())));

    QGuiApplication::clipboard()->clear();
    menu->actions().at(1)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), Chart().size());
}

// Saved and copied pictures carried the crosshair and readout of wherever the mouse stood, and after a
// pan or a reset the readout quoted a point no longer under the mouse until the mouse moved.
TEST_F(SectionWindowTest, TheReadoutFollowsTheViewAndStaysOutOfPictures) {
    for (int slot = 0; slot < channels::kRingSize; ++slot)
        Write(1, slot, slot, 8, slot / 60, slot % 60);
    program.Main().GroupBox1Click(1);
    Refresh();
    Chart().replot();
    const QPoint centre = Chart().axisRect()->rect().center();
    const auto moveTo = [&](QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, Chart().mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&Chart(), &move);
    };
    moveTo(centre);
    const QString before = Chart().Readout();
    ASSERT_FALSE(before.isEmpty());
    const QString shot = QString::fromStdString((folder.Path() / "shot.png").string());
    ASSERT_TRUE(Chart().SaveImage(shot));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&Chart(), &leave);
    ASSERT_TRUE(Chart().Readout().isEmpty());
    const QString clean = QString::fromStdString((folder.Path() / "clean.png").string());
    ASSERT_TRUE(Chart().SaveImage(clean));
    EXPECT_EQ(QImage(shot), QImage(clean)) << "the crosshair went into the picture";

    moveTo(centre);
    Chart().xAxis->setRange(1, 100);
    Chart().replot();
    EXPECT_NE(Chart().Readout(), before);
    EXPECT_EQ(Chart().Readout(), Chart().ReadoutAt(Chart().xAxis->pixelToCoord(centre.x())));
}

} // namespace
} // namespace registrator::ui
