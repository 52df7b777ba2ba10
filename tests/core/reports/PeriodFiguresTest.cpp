#include "reports/PeriodFigures.h"

#include "core/history/HistoryTestSupport.h"
#include "events/ActiveAlarms.h"
#include "events/CalibrationAudit.h"
#include "events/EventJournal.h"
#include "reports/FiguresCsv.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <tuple>

namespace registrator::reports {
namespace {

using history::test::kDay1;
using history::test::kSecond;

// Motor 1 runs 620 s of every 1000; motor 2 stops one stretch of 37 s in five and runs above nominal, now
// and then above critical; motor 3 runs 90 s every two hours and has a reading that is no current every
// 1000 records; motor 10 runs throughout; the rest stand still. No reading lies on a threshold.
double Reading(int n, std::int64_t s) {
    switch (n) {
    case 1:
        return s % 1000 < 620 ? 55.0 + static_cast<double>(s % 7) : 0;
    case 2:
        return (s / 37) % 5 == 0 ? 3 : s % 11 == 0 ? 170 : 120;
    case 3:
        return s % 1000 == 0 ? std::nan("") : s % 7200 < 90 ? 40 : 2;
    case 10:
        return 60;
    default:
        return 0;
    }
}

// A record each second a quarter past it, from `from` to `to` seconds of the day, without the ones in `skip`.
std::vector<archive::TArhivRec> Records(std::int64_t from, std::int64_t to,
                                        const std::vector<std::int64_t>& skip) {
    std::vector<archive::TArhivRec> records;
    for (std::int64_t s = from; s < to; ++s) {
        if (std::find(skip.begin(), skip.end(), s) != skip.end())
            continue;
        archive::TArhivRec r;
        r.Time = (static_cast<double>(s) + 0.25) * kSecond;
        for (int n = 1; n <= 72; ++n)
            r.Tok[n - 1] = Reading(n, s);
        records.push_back(r);
    }
    return records;
}

// The test's own count: each record stands until the next one when that comes within 3 s, else for 1 s,
// never past midnight; the part of it in [from, to) seconds of the day counts.
struct OwnCount {
    double Run = 0;
    double AboveNominal = 0;
    double NoRecord = 0;
    double RunningAmpereSeconds = 0;
};
void CountDay(const std::vector<archive::TArhivRec>& records, int n, double from, double to,
              OwnCount& count) {
    from = std::max(from, 0.0);
    to = std::min(to, 86400.0);
    double covered = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const double t = records[i].Time * 86400;
        const double next = i + 1 < records.size() ? records[i + 1].Time * 86400 : 1e9;
        const double end = std::min(next - t <= 3 ? next : t + 1, 86400.0);
        const double part = std::max(0.0, std::min(end, to) - std::max(t, from));
        const double v = records[i].Tok[n - 1];
        if (!std::isfinite(v))
            continue;
        covered += part;
        if (v > 10) {
            count.Run += part;
            count.RunningAmpereSeconds += v * part;
        }
        count.AboveNominal += v > 100 ? part : 0;
    }
    count.NoRecord += std::max(0.0, to - from) - covered;
}

TEST(PeriodFigures, RunTimeAndTimeWithoutRecordsAgreeWithTheRecordsToTheMillisecond) {
    support::TempFolder folder;
    const history::ArchiveHistory history(folder.Slash(), history::test::Present());
    // The first day with a tick two seconds late, a stop of three records, and the recorder off for ten
    // minutes; the second, the newest, still being written at 13:30.
    auto first = Records(0, 10 * 3600, {5 * 3600 + 7, 6 * 3600 + 10, 6 * 3600 + 11, 6 * 3600 + 12});
    history::test::Append(first, Records(10 * 3600 + 630, 86400, {}));
    const auto second = Records(0, 13 * 3600 + 1800, {});
    history::test::WriteDay(history.DayPath(kDay1), first);
    history::test::WriteDay(history.DayPath(kDay1 + 1), second);

    history::Workspace work;
    // Each time without digests: made by the reader alone, then with a second thread making them too.
    for (const auto& [ahead, from, to] :
         {std::tuple{false, 0.0, 3 * 86400.0}, std::tuple{false, 37020.0, 86400.0 + 47100},
          std::tuple{true, 0.0, 3 * 86400.0}, std::tuple{true, 37020.0, 86400.0 + 47100}}) {
        std::filesystem::remove_all(history.DigestFolder());
        FiguresRequest request;
        request.From = kDay1 + from * kSecond;
        request.To = kDay1 + to * kSecond;
        request.MakeDigestsAhead = ahead;
        const PeriodFigures figures = CountPeriod(history, request, work);
        ASSERT_TRUE(figures.Troubles.empty()) << figures.Troubles[0];
        EXPECT_TRUE(std::filesystem::exists(history.DigestPath(kDay1 + 1))) << "the newest day's digest kept";
        for (const int n : {1, 2, 3, 10}) {
            OwnCount own;
            CountDay(first, n, from, to, own);
            CountDay(second, n, from - 86400, to - 86400, own);
            CountDay({}, n, from - 2 * 86400, to - 2 * 86400, own);
            const MotorFigures& motor = figures.Motors[static_cast<std::size_t>(n)];
            EXPECT_NEAR(motor.RunSeconds, own.Run, 0.002) << "motor " << n << " from " << from;
            EXPECT_NEAR(motor.AboveNominalSeconds, own.AboveNominal, 0.002) << "motor " << n;
            EXPECT_NEAR(motor.NoRecordSeconds, own.NoRecord, 0.002) << "motor " << n << " from " << from;
            if (own.Run > 0) {
                EXPECT_NEAR(*motor.MeanRunningCurrent, own.RunningAmpereSeconds / own.Run,
                            0.005 * own.RunningAmpereSeconds / own.Run)
                    << "motor " << n;
            }
        }
        OwnCount plant;
        CountDay(first, 10, from, to, plant);
        CountDay(second, 10, from - 86400, to - 86400, plant);
        CountDay({}, 10, from - 2 * 86400, to - 2 * 86400, plant);
        EXPECT_NEAR(figures.Plant.NoRecordSeconds, plant.NoRecord, 0.002);
        const MotorFigures& steady = figures.Motors[10];
        EXPECT_NEAR(steady.EnergyKwh, std::sqrt(3.0) * 380 * 0.85 * 60 * steady.RunSeconds / 3.6e6, 1e-6);
        EXPECT_NEAR(figures.Sections[1].RunSeconds,
                    figures.Motors[1].RunSeconds + figures.Motors[2].RunSeconds +
                        figures.Motors[3].RunSeconds + figures.Motors[10].RunSeconds,
                    1e-6);
        EXPECT_EQ(figures.Motors[2].HighestCurrent, 170);
        EXPECT_EQ(figures.DaysWithoutJournal.size(), 2u) << "both days have records and no journal";
    }
}

events::Event Line(common::TDateTime at, events::EventKind kind, int channel, double peak = 0,
                   double seconds = 0) {
    events::Event event;
    event.Time = at;
    event.Kind = kind;
    event.Channel = channel;
    event.Peak = peak;
    event.Seconds = seconds;
    event.Alarm = kind == events::EventKind::LongStart || kind == events::EventKind::OverloadBegan;
    return event;
}

TEST(PeriodFigures, StartsOverloadsAlarmsAndCalibrationComeFromTheJournal) {
    using events::EventKind;
    support::TempFolder folder;
    const history::ArchiveHistory history(folder.Slash(), history::test::Present());
    // Motor 5 runs until 12:00:40 and is above critical from 07:59:50 for 30 s, from 10:00:00 for 30 s and
    // from 12:00:00 for 40 s: the records hold the overload the journal lost the end of to a power cut.
    std::vector<archive::TArhivRec> records(86400);
    const auto above = [](std::size_t s) {
        return (s >= 28790 && s < 28820) || (s >= 36000 && s < 36030) || (s >= 43200 && s < 43240);
    };
    for (std::size_t s = 0; s < records.size(); ++s) {
        records[s].Time = static_cast<double>(s) * kSecond;
        records[s].Tok[4] = above(s) ? 200 : s < 43200 ? 60 : 0;
    }
    history::test::WriteDay(history.DayPath(kDay1), records);

    channels::ChannelData data;
    data.Ustavki = history::test::Present();
    data.Ustavki[5].Name = common::MotorName::FromUtf8("Мельница");
    events::EventJournal journal(folder.Slash());
    events::ActiveAlarms alarms;
    const auto at = [](int h, int m, double s) { return kDay1 + (h * 3600 + m * 60 + s) * kSecond; };
    std::vector<events::Event> lines = {
        Line(at(7, 59, 50), EventKind::OverloadBegan, 5),
        Line(at(8, 0, 20), EventKind::OverloadEnded, 5, 180, 30), // 20 s of it inside the period
        Line(at(9, 0, 0), EventKind::StartBegan, 5),
        Line(at(9, 0, 4), EventKind::StartEnded, 5, 410, 4.2),
        Line(at(9, 30, 0), EventKind::StartBegan, 5),
        Line(at(9, 30, 12), EventKind::LongStart, 5, 450, 12.5),
        Line(at(10, 0, 0), EventKind::OverloadBegan, 5),
        Line(at(10, 0, 30), EventKind::OverloadEnded, 5, 190, 30),
        Line(at(12, 0, 0), EventKind::OverloadBegan, 5), // cut off by a power cut: no end line
        Line(at(13, 0, 0), EventKind::ProgramStarted, 0),
        Line(at(21, 0, 0), EventKind::StartBegan, 5), // after the period
    };
    for (const events::Event& line : lines) {
        ASSERT_TRUE(journal.Append(line, data));
        alarms.Follow(line);
        // The long start and the first overload in the period are acknowledged a minute on.
        if (line.Time == at(9, 30, 12) || line.Time == at(10, 0, 0)) {
            for (const events::Event& ack : alarms.Acknowledge(line.Kind, 5, line.Time + 60 * kSecond))
                ASSERT_TRUE(journal.Append(ack, data));
        }
    }
    channels::TUstavka after = data.Ustavki[5];
    after.T_Nom = 120;
    after.Koof_K = 1.25;
    after.Name = common::MotorName::FromUtf8("Мельница 2");
    ASSERT_TRUE(journal.Append(*events::CalibrationChange(at(11, 0, 0), 5, data.Ustavki[5], after), data));

    FiguresRequest request;
    request.From = at(8, 0, 0);
    request.To = at(20, 0, 0);
    history::Workspace work;
    const PeriodFigures figures = CountPeriod(history, request, work);
    const MotorFigures& motor = figures.Motors[5];
    EXPECT_EQ(motor.Starts, 2);
    EXPECT_EQ(motor.LongStarts, 1);
    EXPECT_EQ(motor.LongestStartSeconds, 12.5);
    EXPECT_EQ(motor.HighestStartPeak, 450);
    EXPECT_EQ(motor.Overloads, 2) << "the one begun before the period is not counted";
    // 20 s of the first, 30 s, and 40 s of the one the power cut ended, not the hour until the next start.
    EXPECT_NEAR(motor.OverloadSeconds, 20 + 30 + 40, 0.01);
    EXPECT_TRUE(figures.DaysWithoutJournal.empty());

    ASSERT_EQ(figures.Alarms.size(), 3u);
    EXPECT_EQ(figures.Alarms[0].Kind, "затянутый пуск");
    EXPECT_EQ(figures.Alarms[0].Acknowledged, at(9, 31, 12));
    EXPECT_EQ(figures.Alarms[1].Acknowledged, at(10, 1, 0));
    EXPECT_FALSE(figures.Alarms[2].Acknowledged) << "the overload cut off by the power cut waits";
    EXPECT_EQ(figures.Alarms[1].Motor, "Мельница");

    ASSERT_EQ(figures.Calibrations.size(), 1u);
    const auto& fields = figures.Calibrations[0].Fields;
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].Caption, "название");
    EXPECT_EQ(fields[0].Old, "«Мельница»");
    EXPECT_EQ(fields[0].New, "«Мельница 2»");
    EXPECT_EQ(fields[1].Caption, "k");
    EXPECT_EQ(fields[1].New, "1,25");
    EXPECT_EQ(fields[2].Caption, "Ток ном.");
    EXPECT_EQ(fields[2].Old, "100");
    EXPECT_EQ(fields[2].New, "120");

    // The spreadsheet form: the motor's row, then the alarms and the calibration fields as rows of their own.
    std::string csv;
    WriteFiguresCsv(csv, figures, request, archive::CsvForm::Spreadsheet);
    EXPECT_NE(csv.find("\r\nmotor;5;1;"), std::string::npos);
    EXPECT_NE(csv.find("09.03.2026 09:30:12;затянутый пуск;5;"), std::string::npos) << csv.substr(0, 400);
    EXPECT_NE(csv.find(";Ток ном.;100;120\r\n"), std::string::npos);
}

} // namespace
} // namespace registrator::reports
