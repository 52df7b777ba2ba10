#include "ui/tuning/ScanTimingWindow.h"

#include "UiTestSupport.h"
#include "ui/app/Program.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace registrator::ui {
namespace {

using testing::RecordingDialogs;

class ScanTimingWindowTest : public ::testing::Test {
protected:
    ScanTimingWindowTest()
        : messages(dialogs), guard(dialogs), window(data, timer1, timer2, messages, guard) {
        data.AvgCount = 5;
        timer1.setInterval(10);
        timer2.setInterval(1000);
    }

    channels::ChannelData data;
    QTimer timer1;
    QTimer timer2;
    RecordingDialogs dialogs;
    service::PresenterMessages messages;
    service::HandlerGuard guard;
    ScanTimingWindow window;
};

TEST_F(ScanTimingWindowTest, DesignValuesAgreeWithStartUp) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("скорость"));
    EXPECT_EQ(window.UpDown1()->value(), 100);
    EXPECT_EQ(window.UpDown2()->value(), 10);
    EXPECT_EQ(window.MaskEdit7()->text(), QStringLiteral("  5"));
    // The averaging formula does not run into the "n -" beside it.
    const QWidget* formula = window.findChild<QLabel*>(QStringLiteral("Label17"));
    const QWidget* n = window.findChild<QLabel*>(QStringLiteral("Label19"));
    ASSERT_TRUE(formula && n);
    EXPECT_LT(formula->geometry().right(), n->x());
    window.BitBtn3Click();
    EXPECT_EQ(timer1.interval(), 10);
    EXPECT_EQ(timer2.interval(), 1000);
    EXPECT_EQ(data.AvgCount, 5);
    EXPECT_TRUE(dialogs.Boxes.isEmpty());

    // Blanks alone were once passed over like an empty field; they are a bad number.
    data.AvgCount = 7;
    window.MaskEdit7()->setText(QStringLiteral("   "));
    window.BitBtn3Click();
    EXPECT_EQ(dialogs.Boxes,
              QStringList{QStringLiteral("message: Ошибочная запись числа или деление на ноль:    ")});
    EXPECT_EQ(window.MaskEdit7()->text(), QStringLiteral("7"));
    EXPECT_EQ(data.AvgCount, 7);
}

TEST_F(ScanTimingWindowTest, ApplySetsBothIntervalsWithinTheirRanges) {
    window.UpDown1()->setValue(150);
    window.UpDown2()->setValue(25);
    window.MaskEdit7()->setText(QStringLiteral("12"));
    window.BitBtn3Click();
    EXPECT_EQ(timer2.interval(), 1500);
    EXPECT_EQ(timer1.interval(), 25);
    EXPECT_EQ(data.AvgCount, 12);

    window.UpDown1()->setValue(99999);
    window.UpDown2()->setValue(0);
    window.BitBtn3Click();
    EXPECT_EQ(timer2.interval(), 300000);
    EXPECT_EQ(timer1.interval(), 1);
}

TEST_F(ScanTimingWindowTest, AnUnchangedIntervalKeepsItsTimerRunningUndisturbed) {
    timer1.start();
    timer2.start();
    QTest::qWait(300);
    window.UpDown2()->setValue(40);
    const int remainingBefore = timer2.remainingTime();
    window.BitBtn3Click();
    EXPECT_TRUE(timer1.isActive());
    EXPECT_EQ(timer1.interval(), 40);
    EXPECT_EQ(timer2.interval(), 1000);
    // The slow timer was not restarted: no more of its interval remains than before. (A fixed bound
    // would fail on a machine so loaded that the wait above outlasted a whole interval.)
    EXPECT_LT(remainingBefore, 1000);
    EXPECT_LE(timer2.remainingTime(), remainingBefore);
}

TEST_F(ScanTimingWindowTest, EmptyCountChangesOnlyTheIntervals) {
    window.MaskEdit7()->setText(QString());
    window.UpDown2()->setValue(20);
    window.BitBtn3Click();
    EXPECT_EQ(timer1.interval(), 20);
    EXPECT_EQ(data.AvgCount, 5);
    EXPECT_TRUE(dialogs.Boxes.isEmpty());
}

TEST_F(ScanTimingWindowTest, ZeroIsAcceptedForTheScanCycleToRecoverFrom) {
    window.MaskEdit7()->setText(QStringLiteral("0"));
    window.BitBtn3Click();
    EXPECT_EQ(data.AvgCount, 0);
    EXPECT_TRUE(dialogs.Boxes.isEmpty());
    window.ResetAvgCountField();
    EXPECT_EQ(window.MaskEdit7()->text(), QStringLiteral("5"));
}

TEST_F(ScanTimingWindowTest, CountsAbove255AreRefusedLikeBadText) {
    data.AvgCount = 7;
    window.UpDown2()->setValue(30);
    window.MaskEdit7()->setText(QStringLiteral("300"));
    window.BitBtn3Click();
    EXPECT_EQ(dialogs.Boxes,
              QStringList{QStringLiteral("message: Ошибочная запись числа или деление на ноль: 300")});
    EXPECT_EQ(data.AvgCount, 7);
    EXPECT_EQ(window.MaskEdit7()->text(), QStringLiteral("7"));
    EXPECT_EQ(window.MaskEdit7()->selectedText(), QStringLiteral("7"));
    // The intervals were applied before the count was looked at.
    EXPECT_EQ(timer1.interval(), 30);

    dialogs.Boxes.clear();
    window.MaskEdit7()->setText(QStringLiteral("256"));
    window.BitBtn3Click();
    EXPECT_EQ(dialogs.Boxes.size(), 1);
    EXPECT_EQ(data.AvgCount, 7);

    dialogs.Boxes.clear();
    window.MaskEdit7()->setText(QStringLiteral("1 2"));
    window.BitBtn3Click();
    EXPECT_EQ(dialogs.Boxes,
              QStringList{QStringLiteral("message: Ошибочная запись числа или деление на ноль: 1 2")});
}

TEST_F(ScanTimingWindowTest, FieldTakesDigitsOnlyAndCloseKeepsTypedValues) {
    window.MaskEdit7()->clear();
    window.MaskEdit7()->insert(QStringLiteral("4a"));
    EXPECT_EQ(window.MaskEdit7()->text(), QString());
    window.MaskEdit7()->insert(QStringLiteral("42"));
    window.show();
    window.BitBtn1Click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(data.AvgCount, 5);
    window.ShowModeless();
    EXPECT_EQ(window.MaskEdit7()->text(), QStringLiteral("42"));
}

} // namespace
} // namespace registrator::ui
