#include "ui/period/PeriodWindow.h"

#include "UiTestSupport.h"
#include "archive/RecordFiles.h"
#include "common/NumberText.h"
#include "history/DigestStore.h"
#include "support/TempFolder.h"
#include "ui/archive/ArchiveViewerWindow.h"
#include "ui/archive/ArhivGridModel.h"
#include "ui/monitor/MainWindow.h"
#include "ui/widgets/PeriodTrendChart.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>

namespace registrator::ui {
namespace {

using support::TempFolder;

const common::TDateTime kToday = common::EncodeDate(2026, 12, 6);
const std::vector<int> kEight = {1, 5, 9, 14, 23, 37, 50, 72};

// The start of the stretch of `stepSeconds` that holds `time`, as the chart keys it.
common::TDateTime Stretch(common::TDateTime time, double stepSeconds) {
    const auto step = static_cast<std::int64_t>(stepSeconds * 1000);
    return history::TimeOfMs(history::MsOf(time) / step * step);
}

// Whole amperes, a slow wave of each motor's own that differs from day to day.
double Reading(int channel, common::TDateTime day, int second) {
    return std::round(60 + 3 * channel + 25 * std::sin(second / 900.0 + channel + day));
}

TEST(PeriodSpan, PeriodsEndWithTheirDayAndStepByTheCalendar) {
    const auto date = [](int y, int m, int d) { return common::EncodeDate(y, m, d); };
    struct Case {
        PeriodKind Kind;
        common::TDateTime Day;
        int Steps;
        common::TDateTime From, To;
    };
    const Case cases[] = {
        {PeriodKind::Day, kToday, 0, kToday, kToday + 1},
        {PeriodKind::Day, kToday, -1, kToday - 1, kToday},
        {PeriodKind::Week, kToday, 0, date(2026, 11, 30), date(2026, 12, 7)},
        {PeriodKind::Week, kToday, 1, date(2026, 12, 7), date(2026, 12, 14)},
        {PeriodKind::Month, kToday, 0, date(2026, 11, 7), date(2026, 12, 7)},
        {PeriodKind::Month, kToday, -1, date(2026, 10, 7), date(2026, 11, 7)},
        // Across the year, and a month ending on its last day is the calendar's month.
        {PeriodKind::Month, date(2027, 1, 15), -1, date(2026, 11, 16), date(2026, 12, 16)},
        {PeriodKind::Month, date(2026, 4, 30), 0, date(2026, 4, 1), date(2026, 5, 1)},
        {PeriodKind::Month, date(2026, 4, 30), 2, date(2026, 6, 1), date(2026, 7, 1)},
    };
    for (const Case& c : cases) {
        const PeriodSpan span = Stepped(PeriodEndingOn(c.Kind, c.Day), c.Steps);
        EXPECT_EQ(span.From, c.From) << KindText(c.Kind).toStdString() << " " << c.Steps;
        EXPECT_EQ(span.To, c.To) << KindText(c.Kind).toStdString() << " " << c.Steps;
    }
    // A range of 7 h 20 min steps by its length and comes back to the millisecond.
    const PeriodSpan range{PeriodKind::Range, kToday + common::EncodeTime(8, 10, 0, 0),
                           kToday + common::EncodeTime(15, 30, 0, 0)};
    const PeriodSpan back = Stepped(Stepped(range, -3), 3);
    EXPECT_EQ(history::MsOf(back.From), history::MsOf(range.From));
    EXPECT_EQ(history::MsOf(back.To), history::MsOf(range.To));
    EXPECT_EQ(history::MsOf(Stepped(range, 1).From), history::MsOf(range.To));
    EXPECT_TRUE(HoldsNow(range, range.From) && !HoldsNow(range, range.To));
}

// The whole program at 09:00:30 today, its timers stopped, over an archive of 1 s records: eight days
// ago and two days ago from 06:00 to 18:00, none yesterday, today since midnight.
class PeriodWindowTest : public ::testing::Test {
protected:
    PeriodWindowTest() : program(testing::FolderEnvironment(clock, dialogs, folder)) {
        std::filesystem::create_directories(folder.Path() / "bin");
        std::filesystem::create_directories(folder.Path() / "Data");
        program.Start();
        program.Recorder().Timer1().stop();
        program.Recorder().Timer2().stop();
        WriteDay(kToday - 8, 6 * 3600, 18 * 3600);
        WriteDay(kToday - 2, 6 * 3600, 18 * 3600);
        WriteDay(kToday, 0, 9 * 3600);
        std::vector<archive::TUstRec> snapshot(archive::kUstRecCount);
        for (int n = 1; n <= 72; ++n) {
            snapshot[n - 1].T_Nom = 100 + n;
            snapshot[n - 1].T_Max = 150 + n;
        }
        EXPECT_FALSE(archive::WriteSnapshotFile(history().SnapshotPath(kToday), snapshot));
    }
    ~PeriodWindowTest() override { program.Shutdown(); }

    history::ArchiveHistory history() { return {program.Archive().Folder(), program.Data().Ustavki}; }
    PeriodWindow& Window() { return program.Period(); }
    PeriodTrendChart& Chart() { return *Window().Chart(); }

    // Records of [from, to) seconds of the day, after those the file holds.
    void WriteDay(common::TDateTime day, int from, int to) {
        std::vector<archive::TArhivRec> records(static_cast<std::size_t>(to - from));
        for (int s = from; s < to; ++s) {
            records[static_cast<std::size_t>(s - from)].Time = s / 86400.0;
            for (int n = 1; n <= 72; ++n)
                records[static_cast<std::size_t>(s - from)].Tok[n - 1] = Reading(n, day, s);
        }
        std::ofstream(history().DayPath(day), std::ios::binary | std::ios::app)
            .write(reinterpret_cast<const char*>(records.data()),
                   static_cast<std::streamsize>(records.size() * sizeof(archive::TArhivRec)));
        if (day == kToday)
            todayUntil = to;
    }
    bool Written(common::TDateTime day, int second) const {
        return day == kToday ? second < todayUntil : second >= 6 * 3600 && second < 18 * 3600;
    }
    // Until every answer asked for is drawn.
    void WaitAnswers() {
        QSignalSpy answered(&Window(), &PeriodWindow::answered);
        while (Window().Waiting())
            ASSERT_TRUE(answered.wait(60000));
    }
    // The drawn band of motor k (from 0) at `key`, against the readings of the stretch it stands for,
    // derived here from the day's own formula.
    void ExpectBand(int k, double key, double stepSeconds, bool earlier = false) {
        const double shift = earlier ? 7 : 0;
        const common::TDateTime day = std::floor(key - shift);
        const auto first = static_cast<int>(std::llround((key - shift - day) * 86400));
        double lo = 1e300, hi = -1e300, sum = 0;
        int count = 0;
        for (int s = first; s < first + stepSeconds; ++s)
            if (Written(day, s)) {
                const double v = Reading(kEight[static_cast<std::size_t>(k)], day, s);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
                sum += v;
                ++count;
            }
        ASSERT_GT(count, 0);
        const int mean = earlier ? Chart().EarlierSeries(k) : Chart().MeanSeries(k);
        EXPECT_NEAR(Near(mean, key).value_or(-1), sum / count, 1e-9) << k << " at " << key;
        if (!earlier) {
            EXPECT_EQ(Near(Chart().LowSeries(k), key), lo);
            EXPECT_EQ(Near(Chart().LowSeries(k) + 1, key), hi);
        }
    }
    // The series' value within a millisecond of `key`.
    std::optional<double> Near(int series, double key) {
        const auto data = Chart().graph(series)->data();
        const auto at = data->findBegin(key - 1e-8, false);
        if (at == data->constEnd() || std::abs(at->key - key) > 1e-8)
            return std::nullopt;
        return at->value;
    }
    double Step() { return Window().Plot().InView()->Answer.StepSeconds; }

    TempFolder folder;
    common::SettableClock clock{kToday + common::EncodeTime(9, 0, 30, 0)};
    testing::RecordingDialogs dialogs;
    Program program;
    int todayUntil = 0;
};

TEST_F(PeriodWindowTest, AWeekOfEightMotorsIsEightBandsWithTheMissingDayAGapAndLastWeekOverlaid) {
    program.Main().N5Click();
    EXPECT_TRUE(Window().isVisible());
    Window().SetMotors(kEight);
    Window().SetPeriod(PeriodEndingOn(PeriodKind::Week, kToday));
    WaitAnswers();
    ASSERT_EQ(Chart().MotorCount(), 8);
    const double step = Step();
    const double noon = kToday - 2 + 0.5;
    for (int k = 0; k < 8; ++k) {
        const auto data = Chart().graph(Chart().MeanSeries(k))->data();
        EXPECT_EQ(Chart().graph(Chart().LowSeries(k))->dataCount(), data->size());
        bool broken = false;
        for (auto p = data->constBegin(); p != data->constEnd(); ++p) {
            EXPECT_TRUE(p->key < kToday - 1.25 || p->key >= kToday || std::isnan(p->value))
                << "a line drawn across the day without records, motor " << k << " at "
                << (p->key - kToday) * 24;
            broken = broken || (p->key > kToday - 1.25 && p->key <= kToday && std::isnan(p->value));
        }
        EXPECT_TRUE(broken) << "the day before and today bridged, motor " << k;
        ExpectBand(k, Stretch(noon, step), step);
    }
    bool shaded = false;
    for (const QCPRange& gap : Chart().Gaps())
        shaded = shaded || (gap.lower <= kToday - 1.25 + 1e-6 && gap.upper >= kToday - 1e-6);
    EXPECT_TRUE(shaded) << "the missing day is not shaded";
    EXPECT_EQ(Chart().ValueAt(Chart().NominalSeries(), kToday - 6), 101);
    EXPECT_EQ(Chart().ValueAt(Chart().CriticalSeries(), kToday - 6), 151);
    // The thresholds of another motor picked, and the readout follows it.
    Window().LinesBox()->setCurrentIndex(3);
    EXPECT_EQ(Chart().ValueAt(Chart().NominalSeries(), kToday - 6), 114);
    EXPECT_EQ(Chart().ValueAt(Chart().CriticalSeries(), kToday - 6), 164);
    EXPECT_TRUE(Chart().ReadoutAt(noon).contains(QStringLiteral("14: ")))
        << Chart().ReadoutAt(noon).toStdString();

    // Last week's Monday eight days ago is drawn over yesterday, paler.
    EXPECT_EQ(Window().EarlierBox()->text(), QStringLiteral("прошлая неделя"));
    Window().EarlierBox()->click();
    WaitAnswers();
    for (int k : {0, 7})
        ExpectBand(k, Stretch(noon - 6, step) + 7, step, true);
    EXPECT_TRUE(dialogs.Boxes.isEmpty()) << dialogs.Boxes.join('\n').toStdString();
}

TEST_F(PeriodWindowTest, ADamagedDigestIsMadeAgainFromTheDayFileAndTheChartStaysRight) {
    ASSERT_EQ(history().BuildAll().Built, 3u);
    const std::filesystem::path digest = history().DigestPath(kToday - 2);
    const std::string made = support::ReadFileBytes(digest);
    const std::string other = support::ReadFileBytes(history().DigestPath(kToday - 8));
    Window().SetMotors(kEight);
    Window().SetPeriod(PeriodEndingOn(PeriodKind::Day, kToday - 2));
    Window().ShowModeless();
    WaitAnswers();
    const double step = Step();
    // The night hours without records are shaded, the day's twelve hours are not.
    const QVector<QCPRange> gaps = Chart().Gaps();
    ASSERT_EQ(gaps.size(), 2);
    EXPECT_NEAR(gaps[0].lower, kToday - 2, 1e-9);
    EXPECT_NEAR(gaps[0].upper, kToday - 2 + 0.25, 1e-9);
    EXPECT_NEAR(gaps[1].lower, kToday - 2 + 0.75, 1e-9);
    EXPECT_NEAR(gaps[1].upper, kToday - 1, 1e-9);
    const std::vector<std::pair<const char*, std::string>> damages = {
        {"truncated", made.substr(0, made.size() / 2)},
        {"bytes flipped",
         [&] {
             std::string bytes = made;
             for (std::size_t i = 100; i < bytes.size(); i += 4099)
                 bytes[i] = static_cast<char>(~bytes[i]);
             return bytes;
         }()},
        {"another day's", other}};
    for (const auto& [damage, bytes] : damages) {
        support::WriteFileBytes(digest, bytes);
        QTest::mouseClick(Window().BackButton(), Qt::LeftButton);
        QTest::mouseClick(Window().ForwardButton(), Qt::LeftButton);
        WaitAnswers();
        EXPECT_EQ(support::ReadFileBytes(digest), made) << damage << ": not made again";
        for (int k = 0; k < 8; ++k)
            for (const int hour : {6, 12, 17})
                ExpectBand(k, Stretch(kToday - 2 + hour / 24.0, step), step);
    }
}

TEST_F(PeriodWindowTest, FollowingTodayTheNewRecordsJoinTheMinutesAndTheRecordsInView) {
    const auto at = [](int h, int m) { return kToday + common::EncodeTime(h, m, 0, 0); };
    Window().SetMotors(kEight);
    Window().ShowModeless();
    WaitAnswers();
    const double step = Step();
    // Ten minutes more written; the recorder says so once the clock has passed them.
    WriteDay(kToday, 9 * 3600, 9 * 3600 + 600);
    clock.Set(at(9, 10) + 30.0 / 86400);
    Window().FollowRecord();
    WaitAnswers();
    for (int k = 0; k < 8; ++k)
        ExpectBand(k, Stretch(at(9, 8), step), step);

    // Zoomed in to records: two minutes more, each record its own point.
    Window().ShowRange(at(9, 5), at(9, 15));
    WaitAnswers();
    WriteDay(kToday, 9 * 3600 + 600, 9 * 3600 + 720);
    clock.Set(at(9, 12) + 30.0 / 86400);
    Window().FollowRecord();
    WaitAnswers();
    for (const int second : {9 * 3600 + 600, 9 * 3600 + 719})
        EXPECT_EQ(Near(Chart().MeanSeries(3), kToday + second / 86400.0), Reading(kEight[3], kToday, second));
}

TEST_F(PeriodWindowTest, TheExportWritesTheRangeInViewByMinuteOrRecordAndSaysWhenItCannot) {
    const common::TDateTime from = kToday - 2 + common::EncodeTime(10, 0, 0, 0);
    Window().SetMotors({1, 17});
    Window().SetPeriod(PeriodEndingOn(PeriodKind::Day, kToday - 2));
    Window().ShowModeless();
    Window().ShowRange(from, from + 1800.0 / 86400);
    WaitAnswers();
    const auto exported = [&](const std::filesystem::path& path, history::CsvRows rows,
                              archive::CsvForm form) {
        QSignalSpy done(&Window(), &PeriodWindow::exported);
        Window().ExportShown(QString::fromStdString(path.string()), rows, form);
        EXPECT_TRUE(done.wait(60000));
        return done.value(0).value(0).toBool();
    };
    const auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find("\r\n", at);
            out.push_back(text.substr(at, end - at));
            at = end + 2;
        }
        return out;
    };
    const auto number = [](double v, char decimal) { return common::FloatToText(v, decimal); };

    ASSERT_TRUE(
        exported(folder.Path() / "minutes.csv", history::CsvRows::PerMinute, archive::CsvForm::Plain));
    const auto minutes = lines(support::ReadFileBytes(folder.Path() / "minutes.csv"));
    ASSERT_EQ(minutes.size(), 31u);
    EXPECT_EQ(minutes[0],
              "date,time,ch1_min,ch1_mean,ch1_max,ch1_records,ch17_min,ch17_mean,ch17_max,ch17_records");
    double lo = 1e300, hi = -1e300, sum = 0;
    for (int s = 10 * 3600 + 29 * 60; s < 10 * 3600 + 30 * 60; ++s) {
        const double v = Reading(17, kToday - 2, s);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
    }
    EXPECT_EQ(minutes[30].substr(minutes[30].find(",60,") + 4),
              number(lo, '.') + "," + number(sum / 60, '.') + "," + number(hi, '.') + ",60");
    EXPECT_EQ(minutes[30].substr(0, 24), "04.12.2026,10:29:00.000,");

    ASSERT_TRUE(
        exported(folder.Path() / "records.csv", history::CsvRows::PerRecord, archive::CsvForm::Spreadsheet));
    const auto records = lines(support::ReadFileBytes(folder.Path() / "records.csv"));
    ASSERT_EQ(records.size(), 1801u);
    EXPECT_EQ(records[1], "04.12.2026;10:00:00,000;" + number(Reading(1, kToday - 2, 36000), ',') + ";" +
                              number(Reading(17, kToday - 2, 36000), ','));
    EXPECT_EQ(records[1800].substr(0, 24), "04.12.2026;10:29:59,000;");

    const std::filesystem::path nowhere = folder.Path() / "no such folder" / "trend.csv";
    EXPECT_FALSE(exported(nowhere, history::CsvRows::PerMinute, archive::CsvForm::Plain));
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    EXPECT_EQ(dialogs.Boxes.join('\n'), QStringLiteral("message: Не удалось записать файл ") +
                                            QString::fromStdString(nowhere.string()));
}

TEST_F(PeriodWindowTest, ZoomedInTheChartShowsTheRecordsTheArchiveViewerShows) {
    // Section 2, its third motor: channel 15, two days ago, opened from the archive viewer.
    program.Main().N3Click();
    ArchiveViewerWindow& viewer = program.ArchiveViewer();
    viewer.DateTimePicker1()->setDate(QDate(2026, 12, 4));
    viewer.TabControl1()->setCurrentIndex(1);
    viewer.TabControl2()->setCurrentIndex(2);
    ASSERT_EQ(viewer.SelectedChannel(), 15);
    QTest::mouseClick(viewer.PeriodButton(), Qt::LeftButton);
    EXPECT_TRUE(Window().isVisible());
    EXPECT_EQ(Window().Period().From, kToday - 2);
    EXPECT_EQ(Window().Period().To, kToday - 1);
    ASSERT_EQ(Window().Motors().back(), 15);
    WaitAnswers();
    EXPECT_FALSE(Window().Plot().InView()->Answer.FromRecords);

    const common::TDateTime from = kToday - 2 + common::EncodeTime(10, 0, 0, 0);
    Window().ShowRange(from, from + 600.0 / 86400);
    WaitAnswers();
    ASSERT_TRUE(Window().Plot().InView()->Answer.FromRecords);
    const int k = static_cast<int>(Window().Motors().size()) - 1;
    int compared = 0;
    for (int row = 0; row < viewer.Grid()->rowCount(); ++row) {
        const archive::TArhivRec& record = program.Archive().ArhivBuf[static_cast<std::size_t>(row)];
        const common::TDateTime key =
            history::TimeOfMs(history::MsOf(kToday - 2) + std::llround(record.Time * 86400000.0));
        if (key < from || key >= from + 600.0 / 86400)
            continue;
        ++compared;
        EXPECT_EQ(Chart().ValueAt(Chart().MeanSeries(k), key), record.Tok[14]);
        const QString readout = Chart().ReadoutAt(key);
        EXPECT_TRUE(
            readout.contains(viewer.Grid()->Cell(0, row) + QStringLiteral(" ")) &&
            readout.contains(QStringLiteral(": ") + viewer.Grid()->Cell(1, row) + QStringLiteral(" А")))
            << readout.toStdString();
    }
    EXPECT_EQ(compared, 600);
}

} // namespace
} // namespace registrator::ui
