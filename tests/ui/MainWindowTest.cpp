#include "ui/monitor/MainWindow.h"

#include "UiTestSupport.h"
#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "support/TempFolder.h"
#include "ui/app/Program.h"
#include "ui/monitor/MimicWidgets.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace registrator::ui {
namespace {

using support::TempFolder;
using testing::FixedStatusPort;
using testing::RecordingDialogs;

const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 255, 0);

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
        : protocol(port), messages(dialogs), guard(dialogs), archive(folder.Slash(), clock, messages),
          recorder({data, protocol, archive, clock, dialogs}),
          window(recorder, guard, QStringLiteral("Регистратор")) {
        for (int n = 1; n <= channels::kChannelCount; ++n)
            data.Ustavki[n] = channels::DefaultUstavka(n);
        data.AvgCount = 1;
    }

    QStringList CaptionLines(int channel) const {
        QStringList lines;
        for (auto* label : window.Panel(channel)->findChildren<QLabel*>())
            lines << label->text();
        return lines;
    }

    TempFolder folder;
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(12, 0, 0, 0)};
    channels::ChannelData data;
    FixedStatusPort port{true, 0, 0x00};
    acquisition::ScanProtocol protocol;
    RecordingDialogs dialogs;
    service::PresenterMessages messages;
    service::HandlerGuard guard;
    archive::Archive archive;
    service::Recorder recorder;
    MainWindow window;
};

TEST_F(MainWindowTest, SectionFramesStackWithTheirCaptionsAndTags) {
    const int tops[] = {4, 120, 240, 356, 476, 596};
    const char* captions[] = {"Массоподготовка", "Формовка А", "Формовка Б",
                              "Печь А",          "Печь Б",     "СПВ и сушильная камера 1А"};
    for (int s = 1; s <= 6; ++s) {
        SectionFrame* frame = window.Frame(s);
        EXPECT_EQ(frame->objectName(), QStringLiteral("GroupBox%1").arg(s));
        EXPECT_EQ(frame->Tag(), s);
        EXPECT_EQ(frame->title(), QString::fromUtf8(captions[s - 1]));
        EXPECT_EQ(frame->geometry(), QRect(4, tops[s - 1], 977, s == 1 ? 121 : 123));
        EXPECT_TRUE(frame->font().bold());
        EXPECT_EQ(frame->font().pixelSize(), 16);
    }
}

TEST_F(MainWindowTest, MotorPanelsSitInRowsOfTwelveUnderTheirSections) {
    for (int n = 1; n <= 72; ++n) {
        MotorPanel* panel = window.Panel(n);
        const int i = (n - 1) % 12;
        EXPECT_EQ(panel->objectName(), QStringLiteral("Pan%1").arg(n));
        EXPECT_EQ(panel->Tag(), n);
        EXPECT_EQ(panel->parentWidget(), window.Frame((n - 1) / 12 + 1));
        EXPECT_EQ(panel->geometry(), QRect(8 + 80 * i, 24, 81, 65));
    }
}

TEST_F(MainWindowTest, PanelsCarryTheirFixedEquipmentTexts) {
    EXPECT_EQ(CaptionLines(1), (QStringList{"Рыхлит.1", "питателя", "710"}));
    EXPECT_EQ(CaptionLines(5), (QStringList{"Ковейер", "Т1"}));
    EXPECT_EQ(CaptionLines(16), (QStringList{"Питатель"}));
    EXPECT_EQ(CaptionLines(46), (QStringList{"Избыточн.", "давление 1"}));
    EXPECT_EQ(CaptionLines(72), (QStringList{"Вентил-ры", "смешиван.", "суш. кам. 1"}));
    // Every line fits its panel, and the lines stand 16 pixels apart.
    for (int n = 1; n <= 72; ++n) {
        const auto lines = window.Panel(n)->findChildren<QLabel*>();
        for (int i = 0; i < lines.size(); ++i) {
            EXPECT_LE(lines[i]->fontMetrics().horizontalAdvance(lines[i]->text()), 79) << n << " " << i;
            EXPECT_LE(lines[i]->fontMetrics().height(), 16);
            EXPECT_EQ(lines[i]->y(), 8 + 16 * i);
        }
    }
    // The motor names the operator edits do not change the panel texts.
    data.Ustavki[5].Name.AssignUtf8("Другой");
    EXPECT_EQ(CaptionLines(5), (QStringList{"Ковейер", "Т1"}));
}

TEST_F(MainWindowTest, CurrentLabelsStartAtZerosUnderTheirPanels) {
    for (int n = 1; n <= 72; ++n) {
        QLabel* label = window.CurrentLabel(n);
        EXPECT_EQ(label->objectName(), QStringLiteral("Lb_Tok%1").arg(n));
        EXPECT_EQ(label->property("Tag").toInt(), n);
        EXPECT_EQ(label->text(), QStringLiteral("000"));
        EXPECT_EQ(label->size(), QSize(31, 20));
        const QRect panel(window.Panel(n)->mapTo(&window, QPoint(0, 0)), window.Panel(n)->size());
        const QRect box(label->mapTo(&window, QPoint(0, 0)), label->size());
        EXPECT_GE(box.left(), panel.left());
        EXPECT_LE(box.right(), panel.right());
        EXPECT_GT(box.top(), panel.bottom());
    }
}

TEST_F(MainWindowTest, MenuAndInitialColours) {
    QStringList items;
    for (QAction* action : window.menuBar()->actions())
        items << action->objectName() + "=" + action->text();
    EXPECT_EQ(items, (QStringList{"N1=настройка", "N2=расчёт", "N3=архив", "N4=журнал событий",
                                  "N5=тренд за период", "N6=состояние двигателей", "N7=отчёты"}));
    EXPECT_EQ(window.Panel(1)->Colour(), PanelColour(monitor::PanelState::Off));
    for (int n = 2; n <= 72; ++n)
        EXPECT_EQ(window.Panel(n)->Colour(), kGreen) << n;
    const QColor off = PanelColour(monitor::PanelState::Off);
    for (const QColor& other : {kRed, kYellow, kGreen})
        EXPECT_GT(std::abs(off.red() - other.red()) + std::abs(off.green() - other.green()) +
                      std::abs(off.blue() - other.blue()),
                  150);
}

TEST_F(MainWindowTest, ScanTickShowsCurrentsAndColoursPanels) {
    port.SetStatus(0x78);         // every converter reads 1023
    data.Ustavki[2].Koof_K = 0.5; // 511.5 -> 512 A, halves to even
    data.Ustavki[2].Koof_B = 0;
    data.Ustavki[3] = data.Ustavki[2];
    data.Ustavki[3].T_Nom = 500;
    data.Ustavki[3].T_Max = 600;
    data.Ustavki[4].Koof_K = 0;
    data.Ustavki[4].Koof_B = -100; // 100 A, below Oborot 320
    recorder.Timer1Timer();

    EXPECT_EQ(window.CurrentLabel(1)->text(), QStringLiteral("51149"));
    EXPECT_EQ(window.Panel(1)->Colour(), kRed);
    EXPECT_EQ(window.CurrentLabel(2)->text(), QStringLiteral("512"));
    EXPECT_EQ(window.Panel(2)->Colour(), kGreen);
    EXPECT_EQ(window.Panel(3)->Colour(), kYellow);
    EXPECT_EQ(window.CurrentLabel(4)->text(), QStringLiteral("100"));
    EXPECT_EQ(window.Panel(4)->Colour(), PanelColour(monitor::PanelState::Off));
    EXPECT_GE(window.CurrentLabel(1)->width(), window.CurrentLabel(1)->sizeHint().width());
    EXPECT_TRUE(dialogs.Boxes.isEmpty());
}

TEST_F(MainWindowTest, ReadingOnAThresholdKeepsThePanelColour) {
    port.SetStatus(0x78);
    data.Ustavki[7].T_Max = 600;
    data.Ustavki[7].Koof_K = 0;
    data.Ustavki[7].Koof_B = -560; // exactly T_Nom
    recorder.Timer1Timer();
    EXPECT_EQ(window.Panel(7)->Colour(), kGreen);
    data.Ustavki[7].Koof_B = -580;
    recorder.Timer1Timer();
    EXPECT_EQ(window.Panel(7)->Colour(), kYellow);
    data.Ustavki[7].Koof_B = -560;
    recorder.Timer1Timer();
    EXPECT_EQ(window.Panel(7)->Colour(), kYellow);
    data.Ustavki[7].Koof_B = -601;
    recorder.Timer1Timer();
    EXPECT_EQ(window.Panel(7)->Colour(), kRed);
    data.Ustavki[7].Koof_B = -600; // exactly T_Max
    recorder.Timer1Timer();
    EXPECT_EQ(window.Panel(7)->Colour(), kRed);
    EXPECT_EQ(window.CurrentLabel(7)->text(), QStringLiteral("600"));
}

TEST_F(MainWindowTest, SelectChannelFillsOtherWindowsBeforeSettingTheSelection) {
    int selectedDuringFill = -1;
    QObject::connect(&window, &MainWindow::channelFieldsRequested,
                     [&](int channel) { selectedDuringFill = data.SelChannel * 100 + channel; });
    window.SelectChannel(37);
    EXPECT_EQ(selectedDuringFill, 37);
    EXPECT_EQ(data.SelChannel, 37);
}

TEST_F(MainWindowTest, ClicksSelectOnlyFromPanelsAndFrames) {
    window.show();
    QSignalSpy sections(&window, &MainWindow::sectionRequested);

    QTest::mouseClick(window.Panel(37), Qt::LeftButton, {}, QPoint(40, 62));
    EXPECT_EQ(data.SelChannel, 37);

    // Beside a short name the panel takes the click: only the text itself is inert (the lines used
    // to be as wide as the panel, which left 8 pixels of a three-line panel that opened anything).
    MotorPanel* feeder = window.Panel(16); // "Питатель", one line
    QLabel* name = feeder->findChildren<QLabel*>().front();
    EXPECT_LT(name->width(), 70);
    QTest::mouseClick(feeder, Qt::LeftButton, {}, QPoint(4, name->geometry().center().y()));
    EXPECT_EQ(data.SelChannel, 16);
    QTest::mouseClick(window.Panel(37), Qt::LeftButton, {}, QPoint(40, 62));
    EXPECT_EQ(data.SelChannel, 37);

    // The equipment texts and the current labels take clicks and do nothing.
    QLabel* text = window.Panel(12)->findChildren<QLabel*>().front();
    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(window.CurrentLabel(12), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(data.SelChannel, 37);
    EXPECT_EQ(data.SelSection, 0);
    EXPECT_EQ(sections.count(), 0);

    QTest::mouseClick(window.Frame(4), Qt::LeftButton, {}, QPoint(960, 15));
    EXPECT_EQ(data.SelSection, 4);
    ASSERT_EQ(sections.count(), 1);
    EXPECT_EQ(sections.front().front().toInt(), 4);
    EXPECT_EQ(data.SelChannel, 37);
}

TEST_F(MainWindowTest, MenuItemsAskForTheirWindows) {
    QSignalSpy timing(&window, &MainWindow::scanTimingRequested);
    window.findChild<QAction*>(QStringLiteral("N1"))->trigger();
    EXPECT_EQ(timing.count(), 1);
}

} // namespace
} // namespace registrator::ui
