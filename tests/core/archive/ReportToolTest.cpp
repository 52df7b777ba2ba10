#include "ArchiveExport.h"
#include "ArchiveTestSupport.h"
#include "channels/SettingsFile.h"
#include "core/history/HistoryTestSupport.h"

#include <cstdlib>
#include <sstream>

namespace registrator::archive::testing {
namespace {

struct ReportRun {
    int Status;
    std::string Out;
    std::string Err;
};

ReportRun Report(std::vector<std::string> args) {
    args.insert(args.begin(), "report");
    std::ostringstream out, err;
    const int status = tools::RunArchiveTool(args, out, err);
    return {status, out.str(), err.str()};
}

// A day of 09.03.2026 from 07:00 to 10:00 in which motor 4 runs from 08:00 at 50 A; motor 4 of the
// settings file on a 6 kV supply.
TEST_F(ArchiveFolderTest, ReportWritesAShiftOfTheArchiveFolderWithItsSettings) {
    std::string day;
    for (int s = 7 * 3600; s < 10 * 3600; ++s) {
        TArhivRec rec;
        rec.Time = s / 86400.0;
        rec.Tok[3] = s >= 8 * 3600 ? 50 : 0;
        day += RecordBytes(rec);
    }
    std::filesystem::create_directories(File("Data"));
    WriteFileBytes(File("Data/09.03.2026.txt"), day);
    channels::SettingsFile file(File("R.INI").string(), common::RegionalSettings::Russian());
    file.SaveAll(history::test::Present());
    file.WriteSupply(4, {6000, 0.9});
    const std::string data = File("Data").string();
    const std::string ini = File("R.INI").string();

    // The first shift, 08:00 to 20:00: two hours of motor 4 at 50 A, ten hours without records.
    const ReportRun shift = Report({data, "--shift", "09.03.2026/1", "--settings", ini, "--csv"});
    EXPECT_EQ(shift.Status, 0) << shift.Err;
    EXPECT_EQ(shift.Out.rfind("kind,channel,section,name,run_seconds,run_hours,", 0), 0u)
        << shift.Out.substr(0, 200);
    const std::size_t row = shift.Out.find("\r\nmotor,4,1,");
    ASSERT_NE(row, std::string::npos);
    const std::string line = shift.Out.substr(row + 2, shift.Out.find("\r\n", row + 2) - row - 2);
    // 7200 s at 50 A on 6 kV and 0.9: sqrt(3) * 6000 * 50 * 0.9 * 2 h = 935.31 kWh.
    EXPECT_NE(line.find(",7200,2,0,0,,,0,0,0,50,50,36000,935.31,6000,0.9"), std::string::npos) << line;
    EXPECT_NE(shift.Out.find("\r\nplant,,,,7200,2,"), std::string::npos);
    EXPECT_NE(shift.Out.find("\r\n\r\nalarm_time,event,"), std::string::npos);
    EXPECT_NE(shift.Err.find("no event journal"), std::string::npos) << shift.Err;

    // The second shift runs to 08:00 the next day and holds none of the records.
    const ReportRun night =
        Report({data, "--from", "09.03.2026 20:00", "--to", "10.03.2026 08:00", "--excel"});
    EXPECT_EQ(night.Status, 0) << night.Err;
    EXPECT_NE(night.Out.find("\r\nmotor;4;1;"), std::string::npos);

    for (const std::vector<std::string>& wrong : {std::vector<std::string>{data},
                                                  {data, "--day", "09.03.2026", "--month", "03.2026"},
                                                  {data, "--shift", "09.03.2026/3"},
                                                  {data, "--day", "9.3.2026"},
                                                  {data, "--from", "09.03.2026 08:00"}}) {
        const ReportRun run = Report(wrong);
        EXPECT_EQ(run.Status, 2) << wrong.back();
        EXPECT_TRUE(run.Out.empty());
    }
    EXPECT_EQ(Report({File("none").string(), "--month", "03.2026"}).Status, 1);

    // A month as PDF and workbook, with the motors' health; no CSV unless asked for. Their readers are
    // Linux programs; a build without Qt Gui says it cannot write them.
    const std::string pdf = File("март.pdf").string();
#if !defined(REGISTRATOR_REPORT_FILES)
    const ReportRun refused = Report({data, "--month", "03.2026", "--pdf", pdf});
    EXPECT_EQ(refused.Status, 2);
    EXPECT_NE(refused.Err.find("no Qt Gui"), std::string::npos) << refused.Err;
#elif !defined(_WIN32)
    const std::string book = File("март.xlsx").string();
    const ReportRun month = Report(
        {data, "--month", "03.2026", "--settings", ini, "--pdf", pdf, "--xlsx", book, "--station", "ДСП-3"});
    EXPECT_EQ(month.Status, 0) << month.Err;
    EXPECT_TRUE(month.Out.empty());
    const std::string text = File("март.txt").string();
    ASSERT_EQ(std::system(("pdftotext -layout \"" + pdf + "\" \"" + text + "\"").c_str()), 0);
    const std::string printed = ReadFileBytes(text);
    for (const char* expected : {"Отчёт: ДСП-3", "Период: Март 2026", "Состояние двигателей", " 2,00 "})
        EXPECT_NE(printed.find(expected), std::string::npos) << expected;
    const std::string sheets = File("sheets.txt").string();
    ASSERT_EQ(std::system(("python3 -c \"import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).read("
                           "'xl/workbook.xml').decode())\" \"" +
                           book + "\" >\"" + sheets + "\"")
                              .c_str()),
              0);
    EXPECT_NE(ReadFileBytes(sheets).find("name=\"Состояние двигателей\""), std::string::npos);
#endif
}

} // namespace
} // namespace registrator::archive::testing
