// /reports, /reports/<name> and /report over a real socket: what is listed and served of Reports/, what
// is refused, and the figures a period's CSV gives.
#ifndef _WIN32 // raw POSIX sockets

#include "ServiceTestSupport.h"
#include "channels/SettingsFile.h"
#include "reports/FiguresCsv.h"

#include <gtest/gtest.h>

namespace registrator::web::testing {

namespace {

using support::ReadFileBytes;
using support::WriteFileBytes;

std::vector<Exchange> SendAll(quint16 port, const std::vector<std::string>& paths) {
    std::vector<Exchange> answers;
    RunBeside(
        [&] {
            for (const std::string& path : paths)
                answers.push_back(Send(port, Get(path), std::chrono::seconds(60)));
        },
        std::chrono::seconds(180));
    return answers;
}

} // namespace

TEST(WebReports, TheListAndDownloadsShowOnlyPlainReportFilesAndEscapeTheirNames) {
    RunningStation running;
    ASSERT_NE(running.Port(), 0);
    const std::filesystem::path reports = running.DataFolder().parent_path() / "Reports";
    std::filesystem::create_directories(reports / "sub");
    const std::string pdf = std::string("%PDF-1.4\n") + std::string(100000, '\x01') + "\n%%EOF\n";
    WriteFileBytes(reports / "2026-12-09 сутки.pdf", pdf);
    WriteFileBytes(reports / "2026-12-09 смена 1.csv", "a;b\n");
    WriteFileBytes(reports / "2026-12 месяц.xlsx", "PK");
    WriteFileBytes(reports / "x<script>.csv", "c\n");
    WriteFileBytes(reports / "sub" / "2026-12-01 сутки.csv", "inner\n");
    WriteFileBytes(running.DataFolder().parent_path() / "secret.csv", "secret\n");
    std::filesystem::create_symlink(running.DataFolder().parent_path() / "secret.csv",
                                    reports / "2026-12-10 сутки.csv");

    const std::vector<Exchange> answers =
        SendAll(running.Port(), {"/reports", "/reports/2026-12-09_day.pdf", "/reports/2026-12-09_shift_1.csv",
                                 "/reports/2026-12-10_day.csv", "/reports/../secret.csv", "/reports/sub",
                                 "/reports/sub/2026-12-01_day.csv",
                                 "/reports/2026-12-09~20~D1~81~D1~83~D1~82~D0~BA~D0~B8.pdf", "/"});
    ASSERT_EQ(answers.size(), 9u);
    const std::string& list = answers[0].Body;
    ASSERT_EQ(answers[0].Status, 200);
    // The month after its days, the day after its shifts; names escaped, no link, no subfolder.
    const std::size_t month = list.find(">2026-12 месяц.xlsx<"), day = list.find(">2026-12-09 сутки.pdf<"),
                      shift = list.find(">2026-12-09 смена 1.csv<");
    ASSERT_NE(shift, std::string::npos);
    EXPECT_LT(month, day);
    EXPECT_LT(day, shift);
    EXPECT_NE(list.find("href=\"/reports/2026-12-09_day.pdf\""), std::string::npos);
    EXPECT_NE(list.find("x&lt;script&gt;.csv"), std::string::npos);
    EXPECT_EQ(list.find("<script>"), std::string::npos);
    EXPECT_EQ(list.find("2026-12-10"), std::string::npos);
    EXPECT_EQ(list.find("2026-12-01"), std::string::npos);

    EXPECT_EQ(answers[1].Status, 200);
    EXPECT_EQ(answers[1].Body, pdf);
    EXPECT_EQ(HeaderOf(answers[1], "Content-Type"), "application/pdf");
    EXPECT_EQ(HeaderOf(answers[1], "Content-Disposition"),
              "attachment; filename=\"2026-12-09_day.pdf\"; "
              "filename*=UTF-8''2026-12-09%20%D1%81%D1%83%D1%82%D0%BA%D0%B8.pdf");
    EXPECT_EQ(answers[2].Body, "a;b\n");
    EXPECT_EQ(HeaderOf(answers[2], "Content-Type"), "text/csv; charset=utf-8");
    // A link, a way out, a folder, a file below it, a name in another form than the list's: none served.
    for (std::size_t i = 3; i <= 7; ++i) {
        EXPECT_GE(answers[i].Status, 400) << i;
        EXPECT_EQ(answers[i].Body.find("secret"), std::string::npos);
        EXPECT_EQ(answers[i].Body.find("inner"), std::string::npos);
    }
    EXPECT_NE(answers[8].Body.find("<a href=\"/reports\">отчёты</a>"), std::string::npos);
}

TEST(WebReports, APeriodsCsvHasCountPeriodsFiguresAndAWrongQueryIsRefused) {
    RunningStation running;
    ASSERT_NE(running.Port(), 0);
    WriteDay(running.DataFolder() / "01.11.2025.txt", 7200);
    const std::vector<Exchange> answers =
        SendAll(running.Port(),
                {"/report?from=01.11.2025+00:30&to=01.11.2025+01:15",
                 "/report?from=2025-11-01T00:30&to=2025-11-01T01:15",
                 "/report?from=01.11.2025+08:00&to=01.11.2025+07:00", "/report?from=2025-11-01T00:30",
                 "/report?from=31.11.2025&to=01.12.2025", "/report?from=01.11.2025&to=01.11.2025+01:00&x=1",
                 "/report?from=01.01.2024&to=01.01.2026"});
    ASSERT_EQ(answers.size(), 7u);

    reports::FiguresRequest request;
    request.From = common::EncodeDate(2025, 11, 1) + common::EncodeTime(0, 30, 0, 0);
    request.To = common::EncodeDate(2025, 11, 1) + common::EncodeTime(1, 15, 0, 0);
    request.Supplies =
        channels::SettingsFile(running.Station().SettingsPath(), common::RegionalSettings::Russian())
            .ReadSupplies();
    const history::ArchiveHistory history(running.DataFolder().string() + "/",
                                          running.Station().Data().Ustavki);
    history::Workspace work;
    const reports::PeriodFigures figures = reports::CountPeriod(history, request, work);
    // The day's records rise from 0: channel 1 runs for part of the period, which the figures must show.
    ASSERT_GT(figures.Motors[1].RunSeconds, 0);
    std::string expected;
    reports::WriteFiguresCsv(expected, figures, request, archive::CsvForm::Plain);

    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(answers[i].Status, 200) << answers[i].Body;
        EXPECT_EQ(HeaderOf(answers[i], "Content-Type"), "text/csv; charset=utf-8");
        EXPECT_EQ(answers[i].Body, expected);
    }
    for (std::size_t i = 2; i < answers.size(); ++i) {
        EXPECT_EQ(answers[i].Status, 400) << i;
        EXPECT_NE(answers[i].Body.find("from"), std::string::npos) << answers[i].Body;
    }
}

} // namespace registrator::web::testing

#endif
