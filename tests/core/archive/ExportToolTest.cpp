#include "ArchiveExport.h"
#include "ArchiveTestSupport.h"
#include "archive/CsvExport.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace registrator::archive::testing {
namespace {

const std::string kReadings = std::string(REGISTRATOR_TEST_DATA) + "/archive/06.12.2026.txt";
const std::string kSnapshot = std::string(REGISTRATOR_TEST_DATA) + "/archive/06.12.2026UST.txt";
const std::string kBom = "\xEF\xBB\xBF";

struct ToolRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

ToolRun RunTool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    ToolRun run;
    run.Status = tools::RunArchiveTool(args, out, err);
    run.Out = out.str();
    run.Err = err.str();
    return run;
}

std::vector<std::string> Lines(const std::string& csv) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(csv.substr(start, end - start));
    EXPECT_EQ(start, csv.size()) << "text after the last CRLF";
    return lines;
}

TEST(ExportReadings, ChosenChannelsAsPlainCsv) {
    const ToolRun run = RunTool({"readings", kReadings, "--channels", "1,72"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out, "time,ch1,ch72\r\n"
                       "12:00:00.000,1,72\r\n"
                       "12:01:02.345,10,720\r\n"
                       "23:59:59.999,600,1.5\r\n");
}

TEST(ExportReadings, ExcelUsesSemicolonsAndDecimalCommas) {
    const ToolRun run = RunTool({"readings", "--excel", kReadings, "--channels=72,1"});
    EXPECT_EQ(run.Status, 0);
    // A Russian spreadsheet takes 12:01:02,345 for a time and leaves 12:01:02.345 as text; the columns
    // carry the motors' names from the day's snapshot beside the file.
    EXPECT_EQ(run.Out, kBom + "time;ch72 M72;ch1 Рыхлит.1\r\n"
                              "12:00:00,000;72;1\r\n"
                              "12:01:02,345;720;10\r\n"
                              "23:59:59,999;1,5;600\r\n");
}

TEST(ExportReadings, AllChannelsByDefaultAndRangesInTheGivenOrder) {
    const std::vector<std::string> all = Lines(RunTool({"readings", kReadings}).Out);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].substr(0, 19), "time,ch1,ch2,ch3,ch");
    EXPECT_EQ(all[0].substr(all[0].size() - 9), "ch71,ch72");
    EXPECT_EQ(std::count(all[0].begin(), all[0].end(), ','), 72);
    EXPECT_EQ(all[2].substr(0, 27), "12:01:02.345,10,20,30,40,50");

    const ToolRun picked = RunTool({"readings", kReadings, "--channels", "13-15, 2"});
    EXPECT_EQ(Lines(picked.Out)[0], "time,ch13,ch14,ch15,ch2");
    EXPECT_EQ(Lines(picked.Out)[1], "12:00:00.000,13,14,15,2");
}

TEST(ExportSettings, NamesInUtf8QuotedWhenTheyNeedIt) {
    const ToolRun run = RunTool({"settings", kSnapshot, "--channels", "1-3,72"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out, "channel,name,nominal_current,critical_current,power\r\n"
                       "1,Рыхлит.1,101,151.5,10\r\n"
                       "2,\"Смеситель, 2\",102,152.5,20\r\n"
                       "3,\"Фартук \"\"А\"\"\",103,153.5,30\r\n"
                       "72,M72,172,222.5,720\r\n");

    const ToolRun excel = RunTool({"settings", kSnapshot, "--excel", "--channels", "2"});
    EXPECT_EQ(excel.Out, kBom + "channel;name;nominal_current;critical_current;power\r\n"
                                "2;Смеситель, 2;102;152,5;20\r\n");
    EXPECT_EQ(Lines(RunTool({"settings", kSnapshot}).Out).size(), 73u);
}

class ExportFileTrouble : public ArchiveFolderTest {};

TEST_F(ExportFileTrouble, MissingEmptyAndUnfinishedFilesFailWithAReason) {
    const ToolRun missing = RunTool({"readings", File("nowhere.txt").string()});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Out, "");
    EXPECT_NE(missing.Err.find("nowhere.txt: cannot open"), std::string::npos) << missing.Err;

    WriteFileBytes(File("empty.txt"), "");
    for (const char* command : {"readings", "settings"}) {
        const ToolRun empty = RunTool({command, File("empty.txt").string()});
        EXPECT_EQ(empty.Status, 1);
        EXPECT_EQ(empty.Out, "");
        EXPECT_NE(empty.Err.find("empty.txt: empty"), std::string::npos) << empty.Err;
    }

    WriteFileBytes(File("short.txt"), std::string(100, '\0'));
    const ToolRun tooShort = RunTool({"readings", File("short.txt").string()});
    EXPECT_EQ(tooShort.Status, 1);
    EXPECT_NE(tooShort.Err.find("only 100 bytes"), std::string::npos) << tooShort.Err;

    // The whole records are written before the tail is reported.
    WriteFileBytes(File("tail.txt"), ReadFileBytes(kReadings) + std::string(100, '\x11'));
    const ToolRun tail = RunTool({"readings", File("tail.txt").string(), "--channels", "1"});
    EXPECT_EQ(tail.Status, 1);
    EXPECT_EQ(Lines(tail.Out).size(), 4u);
    EXPECT_NE(tail.Err.find("unfinished record of 100 bytes; the 3 whole records"), std::string::npos)
        << tail.Err;

    WriteFileBytes(File("longUST.txt"), ReadFileBytes(kSnapshot) + ReadFileBytes(kSnapshot).substr(0, 160));
    const ToolRun longer = RunTool({"settings", File("longUST.txt").string()});
    EXPECT_EQ(longer.Status, 1);
    EXPECT_EQ(Lines(longer.Out).size(), 73u);
    EXPECT_NE(longer.Err.find("2 records past the 72 channels"), std::string::npos) << longer.Err;
}

// A short snapshot exited 0 with the missing channels silently left out, or with only the header.
TEST_F(ExportFileTrouble, ChannelsMissingFromAShortSnapshotAreNamedAndFail) {
    WriteFileBytes(File("shortUST.txt"), ReadFileBytes(kSnapshot).substr(0, 10 * 80));
    const ToolRun all = RunTool({"settings", File("shortUST.txt").string()});
    EXPECT_EQ(all.Status, 1);
    EXPECT_EQ(Lines(all.Out).size(), 11u);
    EXPECT_NE(all.Err.find("shortUST.txt: holds 10 of the 72 channel records; channels 11-72 not in it"),
              std::string::npos)
        << all.Err;

    const ToolRun chosen =
        RunTool({"settings", File("shortUST.txt").string(), "--channels", "20,5,30-31,12"});
    EXPECT_EQ(chosen.Status, 1);
    EXPECT_EQ(Lines(chosen.Out),
              (std::vector<std::string>{"channel,name,nominal_current,critical_current,power",
                                        "5,M5,105,155.5,50"}));
    EXPECT_NE(chosen.Err.find("channels 20, 30-31, 12 not in it"), std::string::npos) << chosen.Err;
    EXPECT_EQ(RunTool({"settings", File("shortUST.txt").string(), "--channels", "1-10"}).Status, 0);
}

TEST(ExportChannelList, BadListsAreRefusedWithTheReason) {
    const struct {
        const char* List;
        const char* Reason;
    } cases[] = {
        {"0", "channel 0 is outside 1-72"},
        {"73", "channel 73 is outside 1-72"},
        {"99999999999", "outside 1-72"},
        {"a", "\"a\" is not a channel number"},
        {"1,,2", "\"\" is not a channel number"},
        {"24-13", "range 24-13 runs backwards"},
        {"5-", "\"5-\" is not a channel number or a range"},
        {"-5", "\"-5\" is not a channel number or a range"},
        {"1-3,2", "channel 2 is listed twice"},
        {"1.5", "\"1.5\" is not a channel number"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(tools::ParseChannelList(c.List, error)) << c.List;
        EXPECT_NE(error.find(c.Reason), std::string::npos) << c.List << ": " << error;

        const ToolRun run = RunTool({"readings", kReadings, "--channels", c.List});
        EXPECT_EQ(run.Status, 2) << c.List;
        EXPECT_EQ(run.Out, "") << c.List;
        EXPECT_NE(run.Err.find(c.Reason), std::string::npos) << c.List << ": " << run.Err;
    }
    std::string error;
    EXPECT_EQ(tools::ParseChannelList("72,1-2", error), (std::vector<int>{72, 1, 2}));
}

TEST(ExportCommandLine, WrongUsageExitsTwoAndHelpExplains) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"readings"},
                                               {"dump", kReadings},
                                               {"readings", kReadings, "extra"},
                                               {"readings", kReadings, "-x"},
                                               {"readings", kReadings, "--channels"}}) {
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.Status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.Err.find("--help"), std::string::npos) << run.Err;
    }
    const ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.Status, 0);
    for (const char* topic :
         {"readings FILE", "settings FILE", "--channels", "--excel", "RFC 4180", "Exit status"})
        EXPECT_NE(help.Out.find(topic), std::string::npos) << topic;
}

TEST(ExportTimes, TimeOfDayToTheMillisecond) {
    EXPECT_EQ(TimeOfDayText(0.0), "00:00:00.000");
    EXPECT_EQ(TimeOfDayText(0.5), "12:00:00.000");
    EXPECT_EQ(TimeOfDayText(common::EncodeTime(7, 5, 9, 42)), "07:05:09.042");
    EXPECT_EQ(TimeOfDayText(86399999.6 / 86400000.0), "23:59:59.999");
    // The spreadsheet form: the last millisecond of the day does not round up into the next day.
    EXPECT_EQ(TimeOfDayText(0.0, ','), "00:00:00,000");
    EXPECT_EQ(TimeOfDayText(86399999.6 / 86400000.0, ','), "23:59:59,999");
    EXPECT_EQ(TimeOfDayText(1.0 + common::EncodeTime(0, 0, 1, 5), ','), "00:00:01,005");
}

#ifdef REGISTRATOR_ARCHIVE_TOOL
class ExportProgram : public ArchiveFolderTest {
protected:
    // Runs the built program with its output in files; returns its exit status.
    int RunProgram(const std::string& args, const std::string& shellPrefix = "") {
        const std::string command = shellPrefix + "\"" + REGISTRATOR_ARCHIVE_TOOL + "\" " + args + " >\"" +
                                    File("out").string() + "\" 2>\"" + File("err").string() + "\"";
#ifdef _WIN32
        // cmd.exe drops the first and the last quote of the line.
        return std::system(("\"" + command + "\"").c_str());
#else
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    }
};

TEST_F(ExportProgram, WritesTheSameBytesAndExitStatusesAsItsLibrary) {
    EXPECT_EQ(RunProgram("readings \"" + kReadings + "\" --channels 1,72"), 0);
    EXPECT_EQ(ReadFileBytes(File("out")), RunTool({"readings", kReadings, "--channels", "1,72"}).Out);

    EXPECT_EQ(RunProgram("readings \"" + File("missing.txt").string() + "\""), 1);
    EXPECT_NE(ReadFileBytes(File("err")).find("missing.txt: cannot open"), std::string::npos);

    EXPECT_EQ(RunProgram("readings \"" + kReadings + "\" --channels 0"), 2);
    EXPECT_EQ(RunProgram("--help"), 0);
    EXPECT_NE(ReadFileBytes(File("out")).find("Usage: registrator-archive"), std::string::npos);
}

#ifndef _WIN32
// Past a file-size limit the tool was killed by SIGXFSZ with no word of what went wrong.
TEST_F(ExportProgram, OutputPastAFileSizeLimitIsReportedNotFatal) {
    std::string day;
    for (int i = 0; i < 50; ++i)
        day += ReadFileBytes(kReadings);
    WriteFileBytes(File("day.txt"), day);
    EXPECT_EQ(RunProgram("readings \"" + File("day.txt").string() + "\"", "ulimit -f 4; "), 1);
    EXPECT_NE(ReadFileBytes(File("err")).find("cannot write to standard output"), std::string::npos);
}

#ifndef __SANITIZE_ADDRESS__
// A day file larger than the memory allowed made the tool abort on std::bad_alloc (status 134) before
// it wrote a line; it now goes through any file in blocks. AddressSanitizer cannot run under a
// memory limit, so this one is left to the plain build.
TEST_F(ExportProgram, ADayFileLargerThanItsMemoryIsExportedAndSummedUpInBlocks) {
    constexpr std::uintmax_t kRecords = 700000; // 409 MB of zeros, sparse on disk
    WriteFileBytes(File("huge.txt"), "");
    std::filesystem::resize_file(File("huge.txt"), kRecords * 584 + 100);
    const std::string limit = "ulimit -v 160000; ";
    EXPECT_EQ(RunProgram("readings \"" + File("huge.txt").string() + "\" --channels 1", limit), 1);
    const std::string out = ReadFileBytes(File("out"));
    EXPECT_EQ(static_cast<std::uintmax_t>(std::count(out.begin(), out.end(), '\n')), kRecords + 1);
    EXPECT_NE(ReadFileBytes(File("err")).find("unfinished record of 100 bytes"), std::string::npos);

    EXPECT_EQ(RunProgram("summary \"" + File("huge.txt").string() + "\"", limit), 1);
    EXPECT_NE(ReadFileBytes(File("out")).find("\r\n72,72,560,540,320,700000,"), std::string::npos);
}
#endif
#endif // a file-size limit is a POSIX shell's
#endif

} // namespace
} // namespace registrator::archive::testing
