// The scheduled reports as a running station writes them: after a stop, at a boundary, retried after a
// failure, and never again when the clock goes back.
#include "archive/ArchiveRecords.h"
#include "common/Utf8Path.h"
#include "events/JournalEntry.h"
#include "reports/FiguresCsv.h"
#include "service/schedule/ReportScheduler.h"
#include "support/StationFakes.h"
#include "support/TempFolder.h"

#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace registrator::schedule {
namespace {

using support::ReadFileBytes;

common::TDateTime At(int day, int hour, int minute = 0, int second = 0) {
    return common::EncodeDate(2026, 12, day) + common::EncodeTime(hour, minute, second, 0);
}

// The recorder ran on the 9th from 06:00 to 07:00 only: channel 1 at 50 A, the others off.
void WriteMorning(const std::filesystem::path& data) {
    std::filesystem::create_directories(data);
    std::ofstream file(data / "09.12.2026.txt", std::ios::binary);
    archive::TArhivRec record{};
    record.Tok[0] = 50;
    for (int i = 0; i < 3600; ++i) {
        record.Time = common::TimePart(At(9, 6) + i / 86400.0);
        file.write(reinterpret_cast<const char*>(&record), sizeof record);
    }
}

// Report names are Russian: a path made straight from the text would take the ANSI code page on Windows.
std::filesystem::path In(const std::filesystem::path& folder, const char* name) {
    return folder / common::PathFromUtf8(name);
}

bool Exists(const std::filesystem::path& path) {
    return std::filesystem::exists(path);
}

std::set<std::string> FilesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(common::Utf8FromPath(entry.path().filename()));
    return names;
}

// The missed shift's figures as the one core function counts them, in the CSV the report holds.
std::string CountedCsv(const std::filesystem::path& data, const channels::UstavkiTable& present,
                       common::TDateTime from, common::TDateTime to) {
    const history::ArchiveHistory history(data.string() + "/", present);
    reports::FiguresRequest request;
    request.From = from;
    request.To = to;
    history::Workspace work;
    std::string csv;
    reports::WriteFiguresCsv(csv, reports::CountPeriod(history, request, work), request,
                             archive::CsvForm::Plain);
    return csv;
}

// A station folder whose recorder ran on the 9th from 06:00 to 07:00, and a clock at 09:00 that day.
struct ReportScheduleTest : ::testing::Test {
    void SetUp() override { WriteMorning(data); }

    support::TempFolder folder;
    const std::filesystem::path data = folder.Path() / "Data";
    const std::filesystem::path reports = folder.Path() / "Reports";
    common::SettableClock clock{At(9, 9)};
};

TEST_F(ReportScheduleTest, AStopAcrossAShiftEndThenAStartWritesTheMissedShiftAndJournalsAFailure) {
    // Stopped at 07:00, started again at 09:00: the night shift ended at 08:00 meanwhile.
    support::RecordingDialogs dialogs;
    const std::filesystem::path shift = In(reports, "2026-12-08 смена 2.csv");
    {
        service::Station station(support::FolderEnvironment(clock, dialogs, folder));
        ASSERT_TRUE(support::StartStation(station));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Exists(shift); }, 60000));
        EXPECT_EQ(ReadFileBytes(shift), CountedCsv(data, station.Data().Ustavki, At(8, 20), At(9, 8)));
        support::EndStation(station);
    }
    // The day before the recorder's first record is no report; the shift still running is not either.
    EXPECT_EQ(FilesIn(reports), std::set<std::string>{"2026-12-08 смена 2.csv"});

    // Next start with a workbook writer that fails: the report is due again, and the failure is journalled.
    service::Station station(support::FolderEnvironment(clock, dialogs, folder));
    station.WriteReportsWith(
        [](const schedule::CountedReport&, const std::filesystem::path&, std::string& error) {
            error = "нет места на диске";
            return false;
        },
        {".xlsx"});
    ASSERT_TRUE(support::StartStation(station));
    QSignalSpy failed(station.Reports(), &ReportScheduler::reportFailed);
    ASSERT_TRUE(failed.count() > 0 || failed.wait(60000));
    EXPECT_EQ(failed.first().first().toString(), QStringLiteral("2026-12-08 смена 2: нет места на диске"));
    std::istringstream journal(ReadFileBytes(station.Journal().PathFor(At(9, 0))));
    int lines = 0;
    for (std::string line; std::getline(journal, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const events::JournalEntry entry = events::ReadJournalLine(line);
        lines += entry.KindText() == "отчёт не записан" &&
                 entry.Details == "2026-12-08 смена 2: нет места на диске";
    }
    EXPECT_EQ(lines, 1) << ReadFileBytes(station.Journal().PathFor(At(9, 0)));
    support::EndStation(station);
}

TEST_F(ReportScheduleTest, ABoundaryPassedWritesItsReportAndRetriesAFailureAndAClockSetBackRewritesNothing) {
    channels::ChannelData channels;
    std::atomic<int> calls = 0;
    ScheduleSettings settings;
    settings.ArchiveFolder = data.string() + "/";
    settings.ReportsFolder = reports.string() + "/";
    // Short, so that the clock moved by hand is seen at once.
    settings.LongestWait = std::chrono::milliseconds(20);
    settings.Writer = [&calls](const schedule::CountedReport& report, const std::filesystem::path& stem,
                               std::string& error) {
        if (calls++ == 0) {
            error = "нет места на диске";
            return false;
        }
        for (const char* extension : {".pdf", ".xlsx"}) {
            std::filesystem::path file = stem;
            file += extension;
            std::ofstream(file) << report.PeriodTitle << (report.MonthReport ? " month" : "");
        }
        return true;
    };
    ReportScheduler scheduler(clock, channels, settings);
    QSignalSpy checked(&scheduler, &ReportScheduler::checked);
    QSignalSpy failed(&scheduler, &ReportScheduler::reportFailed);
    QSignalSpy written(&scheduler, &ReportScheduler::reportWritten);
    scheduler.Start();
    ASSERT_TRUE(checked.wait(60000));
    ASSERT_EQ(failed.count(), 1);
    // The CSV alone is no written report.
    EXPECT_EQ(FilesIn(reports), std::set<std::string>{"2026-12-08 смена 2.csv"});

    // The day shift ends: its report, and the failed one again, newest first.
    clock.Set(At(9, 20, 0, 10));
    ASSERT_TRUE(checked.wait(60000));
    EXPECT_EQ(written.count(), 2);
    EXPECT_EQ(written.at(0).first().toString(), QStringLiteral("2026-12-09 смена 1"));
    EXPECT_EQ(written.at(1).first().toString(), QStringLiteral("2026-12-08 смена 2"));
    EXPECT_EQ(ReadFileBytes(In(reports, "2026-12-08 смена 2.pdf")), "Смена 2, 08.12.2026 20:00 – 08:00");
    EXPECT_EQ(FilesIn(reports).size(), 6u);
    EXPECT_EQ(ReadFileBytes(In(reports, "2026-12-09 смена 1.csv")),
              CountedCsv(data, channels.Ustavki, At(9, 8), At(9, 20)));

    // Set back to the morning: a check, and nothing written again.
    clock.Set(At(9, 10));
    ASSERT_TRUE(checked.wait(60000));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(written.count(), 2);
    scheduler.Stop();
}

} // namespace
} // namespace registrator::schedule
