#include "UiTestSupport.h"
#include "common/Cp1251.h"
#include "support/CommaLocale.h"
#include "support/TempFolder.h"
#include "ui/app/Program.h"
#include "ui/monitor/MainWindow.h"
#include "ui/monitor/MimicWidgets.h"
#include "ui/tuning/AboutWindow.h"
#include "ui/tuning/CalibrationWindow.h"
#include "ui/tuning/CoefficientWindow.h"
#include "ui/tuning/ScanTimingWindow.h"
#include "ui/widgets/ScreenPlacement.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <array>
#include <gtest/gtest.h>
#include <tuple>

namespace registrator::ui {
namespace {

using support::TempFolder;
using testing::FixedStatusPort;
using testing::RecordingDialogs;

QString Button(QWidget& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
    if (!button)
        return QStringLiteral("missing");
    button->click();
    return button->text();
}

TEST(CalibrationInTheProgram, PanelClickEditsAppliesSavesAndTheNextTickFollows) {
    TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "bin");
    common::SettableClock clock(common::EncodeDate(2026, 12, 6) + common::EncodeTime(8, 30, 0, 0));
    RecordingDialogs dialogs;
    Program program(ProgramEnvironment{clock, dialogs, common::RegionalSettings::Russian(),
                                       (folder.Path() / "bin" / "REGISTRATOR.EXE").string(),
                                       folder.Slash() + "Data/",
                                       [](const channels::UstavkiTable&, const common::Clock&) {
                                           // Every converter reads 1023.
                                           return std::make_unique<FixedStatusPort>(true, 0, 0x78);
                                       }});
    program.Start();
    program.Data().Ustavki[37].Koof_K = 0.5;
    CalibrationWindow& window = program.Calibration();
    EXPECT_FALSE(window.isVisible());

    QTest::mouseClick(program.Main().Panel(37), Qt::LeftButton, {}, QPoint(40, 62));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.focusWidget(), window.Edit1());
    EXPECT_EQ(program.Data().SelChannel, 37);
    EXPECT_EQ(window.Edit1()->text(), QStringLiteral("37"));
    EXPECT_EQ(window.Label16()->text(), QStringLiteral("37"));
    EXPECT_EQ(window.Edit2()->text(), QStringLiteral("0,5"));
    EXPECT_EQ(window.Edit4()->text(), QStringLiteral("560"));
    EXPECT_EQ(window.MaskEdit6()->text(), QStringLiteral("320"));

    window.Edit1()->setText(QStringLiteral("Гидравлика толкателя"));
    window.Edit2()->setText(QStringLiteral("0,25"));
    window.Edit4()->setText(QStringLiteral("200"));
    window.Edit5()->setText(QStringLiteral("300"));
    EXPECT_EQ(Button(window, "Button1"), QStringLiteral("применить"));
    EXPECT_TRUE(dialogs.Boxes.filter(QStringLiteral("error")).isEmpty())
        << dialogs.Boxes.join('\n').toStdString();
    EXPECT_EQ(window.Label16()->text(), QStringLiteral("Гидравлика толкателя"));
    const std::string ini = support::ReadFileBytes(program.SettingsPath());
    EXPECT_NE(
        ini.find("[Ustavki37]\r\nName=" + common::Utf8ToCp1251("Гидравлика толкателя") +
                 "\r\nKoof_K=0,25\r\nKoof_B=1\r\nT_Nom=200\r\nT_Max=300\r\nMoshn=200\r\nOborot=320\r\n"),
        std::string::npos);

    // 1023 * 0.25 - 1 = 254.75: 255 A, above the new nominal 200, below the critical 300.
    // The next fast tick, however late a loaded machine runs it.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return program.Main().CurrentLabel(37)->text() == QStringLiteral("255"); }, 5000));
    EXPECT_EQ(program.Main().CurrentLabel(37)->text(), QStringLiteral("255"));
    EXPECT_EQ(program.Main().Panel(37)->Colour(), QColor(255, 255, 0));
    EXPECT_TRUE(window.LiveLine()->text().contains(QStringLiteral("x = 1023")));
    EXPECT_TRUE(window.LiveLine()->text().contains(QStringLiteral("255 А")));

    window.findChild<QPushButton*>(QStringLiteral("Cloz"))->click();
    EXPECT_FALSE(window.isVisible());
    program.Shutdown();
}

class CalibrationWindowTest : public ::testing::Test {
protected:
    CalibrationWindowTest()
        : messages(dialogs), guard(dialogs),
          window(CalibrationWindow::Services{
              data, common::RegionalSettings::Russian(), [this] { return path; }, messages, guard, {}}) {
        for (int n = 1; n <= channels::kChannelCount; ++n)
            data.Ustavki[n] = channels::DefaultUstavka(n);
        data.SelChannel = 9;
        window.FillFields(9);
    }

    TempFolder folder;
    std::string path = folder.Slash() + "Registrator.INI";
    channels::ChannelData data;
    RecordingDialogs dialogs;
    service::PresenterMessages messages;
    service::HandlerGuard guard;
    CalibrationWindow window;
};

TEST_F(CalibrationWindowTest, ABadNumberIsReportedAndSelectedAndAFailedWriteGoesToTheErrorBox) {
    window.Edit2()->setText(QStringLiteral("60"));
    window.Edit3()->setText(QStringLiteral("x"));
    window.Button1Click();
    EXPECT_EQ(dialogs.Boxes, QStringList{QStringLiteral("message: Ошибочная запись числа: x")});
    EXPECT_EQ(window.Edit3()->selectedText(), QStringLiteral("x"));
    EXPECT_EQ(data.Ustavki[9].Koof_K, 60);

    // Digits only, four at most.
    QTest::keyClicks(window.MaskEdit5(), QStringLiteral("-12a345"));
    EXPECT_LE(window.MaskEdit5()->text().size(), 4);
    EXPECT_FALSE(window.MaskEdit5()->text().contains(QLatin1Char('-')));

    dialogs.Boxes.clear();
    path = folder.Slash() + "missing/Registrator.INI";
    window.Edit3()->setText(QStringLiteral("2"));
    window.Edit1()->setText(QStringLiteral("Новое"));
    window.Button1Click();
    EXPECT_EQ(dialogs.Boxes,
              QStringList{QStringLiteral("error: Unable to write to ") + QString::fromStdString(path)});
    EXPECT_EQ(data.Ustavki[9].Name.Utf8(), "Новое");
    EXPECT_EQ(window.Label16()->text(), QStringLiteral("9")) << "the write failed before the heading changes";
}

// SelectChannel cut a stored 12345 to "1234", which an untouched apply then stored.
TEST_F(CalibrationWindowTest, StoredPowerAndSwitchOffShowWholeAndAnUntouchedApplyKeepsThem) {
    data.Ustavki[9].Moshn = 12345;
    data.Ustavki[9].Oborot = -5;
    window.FillFields(9);
    EXPECT_EQ(window.MaskEdit5()->text(), QStringLiteral("12345"));
    EXPECT_EQ(window.MaskEdit6()->text(), QStringLiteral("-5"));
    window.Button1Click();
    EXPECT_EQ(data.Ustavki[9].Moshn, 12345);
    EXPECT_EQ(data.Ustavki[9].Oborot, -5);
    EXPECT_NE(support::ReadFileBytes(path).find("Moshn=12345\r\nOborot=-5\r\n"), std::string::npos);

    // Once edited, what the operator types keeps to four digits.
    QTest::keyClick(window.MaskEdit5(), Qt::Key_Backspace);
    QTest::keyClicks(window.MaskEdit5(), QStringLiteral("5"));
    window.Button1Click();
    EXPECT_EQ(data.Ustavki[9].Moshn, 1234);
    EXPECT_TRUE(dialogs.Boxes.isEmpty()) << dialogs.Boxes.join('\n').toStdString();
}

QString Unwrapped(const QLabel& label) {
    return label.text().replace(QLatin1Char('\n'), QLatin1Char(' '));
}

void Retype(QLineEdit& edit, const QString& text) {
    edit.selectAll();
    QTest::keyClicks(&edit, text);
}

// The apply stores any numbers silently: without the line a critical current below the nominal one or
// below zero went unnoticed until the mimic showed a stopped motor red.
TEST_F(CalibrationWindowTest, TheWarningLineFollowsTheEntriesAndNeverStopsTheApply) {
    // The file defaults: nominal 560 above critical 540.
    EXPECT_TRUE(
        Unwrapped(*window.Warnings()).startsWith(QStringLiteral("Пороги: ток ном. не ниже тока крит.")));
    Retype(*window.Edit2(), QStringLiteral("0,5"));
    Retype(*window.Edit4(), QStringLiteral("200"));
    Retype(*window.Edit5(), QStringLiteral("300"));
    Retype(*window.MaskEdit6(), QStringLiteral("20"));
    EXPECT_EQ(window.Warnings()->text(), QString());

    Retype(*window.Edit5(), QStringLiteral("-1"));
    EXPECT_TRUE(Unwrapped(*window.Warnings())
                    .contains(QStringLiteral("При x = 0 (двигатель стоит) ток 0 А: панель стоящего двигателя "
                                             "будет красной (перегрузка).")))
        << Unwrapped(*window.Warnings()).toStdString();
    const QRect line = window.Warnings()->geometry();
    EXPECT_TRUE(window.rect().contains(line));
    for (const char* name : {"Button1", "Cloz"})
        EXPECT_FALSE(line.intersects(window.findChild<QPushButton*>(QString::fromLatin1(name))->geometry()));
    EXPECT_FALSE(line.intersects(window.LiveLine()->geometry()));

    window.Button1Click();
    EXPECT_TRUE(dialogs.Boxes.isEmpty()) << dialogs.Boxes.join('\n').toStdString();
    EXPECT_EQ(data.Ustavki[9].T_Max, -1);
}

class CoefficientWindowTest : public ::testing::Test {
protected:
    CoefficientWindowTest()
        : messages(dialogs), guard(dialogs), window(common::RegionalSettings::Russian(), messages, guard) {}

    void Calculate(const char* x1, const char* y1, const char* x2, const char* y2) {
        const char* texts[] = {x1, y1, x2, y2};
        for (int i = 0; i < 4; ++i)
            window.Edit(i + 1)->setText(QString::fromUtf8(texts[i]));
        window.Button1Click();
    }

    RecordingDialogs dialogs;
    service::PresenterMessages messages;
    service::HandlerGuard guard;
    CoefficientWindow window;
};

TEST_F(CoefficientWindowTest, ShowsKAndBWithFourDecimalsAndTheCheck) {
    Calculate("0", "0", "1000", "500");
    EXPECT_EQ(window.Label6()->text(), QStringLiteral("0,5"));
    EXPECT_EQ(window.Label7()->text(), QStringLiteral("0"));
    EXPECT_TRUE(window.CheckLine()->text().contains(QStringLiteral("k·X2−b = 500 ")));
    Calculate(" 0 ", "0", "3", "1");
    EXPECT_EQ(window.Label6()->text(), QStringLiteral("0,3333"));
    // Through the rounded K the second point comes out at 0,9999, as the operator would get it.
    EXPECT_TRUE(window.CheckLine()->text().contains(QStringLiteral("k·X2−b = 0,9999 ")));
    EXPECT_TRUE(dialogs.Boxes.isEmpty());
}

// Under LANG=ru_RU.UTF-8, where Qt gives the C library a decimal comma, K showed as "2," and the check
// as "(Y1 = 0,)".
TEST_F(CoefficientWindowTest, TheSameTextsUnderTheCLocaleQtSetsForRussian) {
    const support::CommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no Russian locale on this system";
    Calculate("0", "0", "1", "2");
    EXPECT_EQ(window.Label6()->text(), QStringLiteral("2"));
    EXPECT_EQ(window.Label7()->text(), QStringLiteral("0"));
    EXPECT_TRUE(window.CheckLine()->text().contains(QStringLiteral("k·X1−b = 0 (Y1 = 0),")))
        << window.CheckLine()->text().toStdString();
    Calculate("0", "-0,5", "3", "0,5");
    EXPECT_EQ(window.Label6()->text(), QStringLiteral("0,3333"));
    EXPECT_EQ(window.Label7()->text(), QStringLiteral("0,5"));
    EXPECT_TRUE(dialogs.Boxes.isEmpty()) << dialogs.Boxes.join('\n').toStdString();
}

TEST_F(CoefficientWindowTest, BadEntriesAndEqualXValuesLeaveThePreviousResults) {
    Calculate("100", "50", "500", "250");
    Calculate("", "", "", "");
    EXPECT_EQ(window.focusWidget(), window.Edit(1));
    Calculate("1", "2", "0.5", "3");
    EXPECT_EQ(window.Edit(3)->selectedText(), QStringLiteral("0.5"));
    Calculate("7", "1", "7", "2");
    Calculate("7", "1", "7", "1");
    EXPECT_EQ(dialogs.Boxes, (QStringList{QStringLiteral("message: Ошибочная запись числа: "),
                                          QStringLiteral("message: Ошибочная запись числа: 0.5"),
                                          QStringLiteral("error: Floating point division by zero"),
                                          QStringLiteral("error: Invalid floating point operation")}));
    EXPECT_EQ(window.Label6()->text(), QStringLiteral("0,5"));
    EXPECT_EQ(window.Label7()->text(), QStringLiteral("0"));
}

// Label6 and Label7 grew under what stands to their right: a B of -1234,5678 showed as "-1234,567".
TEST_F(CoefficientWindowTest, EveryDigitOfAResultShowsClearOfTheControlsToItsRight) {
    const int buttonLeft = window.findChild<QPushButton*>(QStringLiteral("Button1"))->x();
    const int labelBLeft = window.findChild<QLabel*>(QStringLiteral("Label9"))->x();
    const auto visible = [&](const QLabel& label, int right) {
        return QRect(QPoint(), label.size()).contains(QRect(QPoint(), label.sizeHint())) &&
               window.centralWidget()->rect().contains(label.geometry()) && label.geometry().right() < right;
    };
    for (const auto& [y1, y2, k, b] :
         {std::tuple{"1234,5678", "1235,5678", "1", "-1234,5678"},
          std::tuple{"123456789,1234", "0", "-123456789,1234", "-123456789,1234"},
          std::tuple{"12345678901,1234", "0", "-12345678901,1234", "-12345678901,1234"}}) {
        Calculate("0", y1, "1", y2);
        // Every digit drawn (on one line while the type allows; a wider font may need two).
        EXPECT_EQ(window.Label6()->text().remove(QLatin1Char('\n')).toStdString(), k);
        EXPECT_EQ(window.Label7()->text().remove(QLatin1Char('\n')).toStdString(), b);
        EXPECT_TRUE(visible(*window.Label6(), labelBLeft) && visible(*window.Label7(), buttonLeft)) << b;
    }

    // Too long for the row even in the smallest type: more lines, and the window grows to hold them.
    Calculate("0", "-1E200", "1", "-1E200");
    const QString digits = window.Label7()->text().remove(QLatin1Char('\n'));
    EXPECT_EQ(digits.size(), 200);
    EXPECT_TRUE(digits.startsWith(QStringLiteral("99999999999999996973"))) << digits.toStdString();
    EXPECT_TRUE(visible(*window.Label7(), buttonLeft));
    EXPECT_GT(window.centralWidget()->height(), 370);
    EXPECT_TRUE(dialogs.Boxes.isEmpty()) << dialogs.Boxes.join('\n').toStdString();
}

// After a failed calculation the check line went on quoting the old points beside K and B.
TEST_F(CoefficientWindowTest, AFailedCalculationLeavesNoCheckOfTheOldPoints) {
    Calculate("100", "50", "500", "250");
    EXPECT_TRUE(window.CheckLine()->text().contains(QStringLiteral("(Y1 = 50)")));
    for (const char* x2 : {"x", "100"}) {
        Calculate("100", "50", x2, "250");
        EXPECT_EQ(window.CheckLine()->text().replace(QLatin1Char('\n'), QLatin1Char(' ')).toStdString(),
                  "Расчёт не выполнен: K и B остались от прежнего расчёта.");
    }
    EXPECT_EQ(window.Label6()->text(), QStringLiteral("0,5"));
}

struct TheThreeTuningWindows {
    RecordingDialogs dialogs;
    service::PresenterMessages messages{dialogs};
    service::HandlerGuard guard{dialogs};
    channels::ChannelData data;
    QTimer timer1;
    QTimer timer2;
    CoefficientWindow coefficients{common::RegionalSettings::Russian(), messages, guard};
    CalibrationWindow calibration{CalibrationWindow::Services{
        data, common::RegionalSettings::Russian(), [] { return std::string(); }, messages, guard, {}}};
    ScanTimingWindow timing{data, timer1, timer2, messages, guard};

    std::array<QWidget*, 3> All() { return {&coefficients, &calibration, &timing}; }
};

// On the test platform's 800 x 600 screen the coefficient window ended 562 pixels past the right edge.
TEST(ScreenPlacement, TuningWindowsOpenWithinTheScreenAndWhereDesignedWhereTheyFit) {
    EXPECT_EQ(PlacedWithin({706, 270}, {658, 409}, {0, 0, 1280, 1024}), QPoint(622, 270));
    EXPECT_EQ(PlacedWithin({1300, 900}, {300, 200}, {1280, 30, 1280, 994}), QPoint(1300, 824));
    EXPECT_EQ(PlacedWithin({100, 10}, {2000, 300}, {0, 30, 1280, 994}), QPoint(0, 30));

    TheThreeTuningWindows tuning;
    for (QWidget* window : tuning.All()) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(window->screen()->availableGeometry().contains(window->frameGeometry()));
    }
    EXPECT_EQ(tuning.calibration.pos().y(), 258) << "moved only as far as it had to";
    EXPECT_EQ(tuning.timing.pos(), QPoint(374, 317));
}

// Windows' style keeps wider margins than Fusion: under both, every button shows its whole text.
TEST(TuningWindows, EveryButtonShowsItsWholeTextUnderEitherStyle) {
    const QString before = QApplication::style()->name();
    for (const char* style : {"Fusion", "Windows"}) {
        QApplication::setStyle(QStyleFactory::create(QString::fromLatin1(style)));
        TheThreeTuningWindows tuning;
        int buttons = 0;
        for (QWidget* window : tuning.All())
            for (QPushButton* button : window->findChildren<QPushButton*>()) {
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = button->text();
                const QRect room =
                    button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
                EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), room.width())
                    << style << ": " << button->text().toStdString();
                ++buttons;
            }
        EXPECT_EQ(buttons, 6);
    }
    QApplication::setStyle(QStyleFactory::create(before));
}

TEST_F(CoefficientWindowTest, TheAboutItemOpensTheAboutWindow) {
    AboutWindow about;
    QObject::connect(&window, &CoefficientWindow::aboutRequested, &about, &AboutWindow::ShowModeless);
    window.menuBar()->findChild<QAction*>(QStringLiteral("N1"))->trigger();
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(about.windowTitle(), QStringLiteral("о программе"));
    window.ShowModeless();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(Button(window, "BitBtn1"), QStringLiteral("Закрыть"));
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace registrator::ui
