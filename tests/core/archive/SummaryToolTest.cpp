#include "ArchiveExport.h"
#include "ArchiveTestSupport.h"
#include "channels/SettingsFile.h"
#include "events/EventJournal.h"

#include <sstream>

namespace registrator::archive::testing {
namespace {

// Seven records from 08:00:00, a second apart, then a minute's gap before the last one. Channel 1 never
// runs; channel 2 is running as the day starts, stops and starts again; channel 3 is overloaded three
// times, once on each side of the gap.
class SummaryTool : public ArchiveFolderTest {
protected:
    SummaryTool() {
        const int seconds[] = {0, 1, 2, 3, 4, 5, 65};
        const double motor2[] = {50, 60, 5, 0, 120, 80, 0};
        const double motor3[] = {160, 200, 170, 90, 90, 155, 155};
        std::string day;
        for (int i = 0; i < 7; ++i) {
            TArhivRec rec;
            rec.Time = common::EncodeTime(8, seconds[i] / 60, seconds[i] % 60, 0);
            rec.Tok[1] = motor2[i];
            rec.Tok[2] = motor3[i];
            day += RecordBytes(rec);
        }
        WriteFileBytes(File("day.txt"), day);

        std::string snapshot;
        for (int k = 1; k <= 72; ++k) {
            TUstRec rec;
            const std::string name = "M" + std::to_string(k);
            rec.NameLength = static_cast<std::uint8_t>(name.size());
            std::copy(name.begin(), name.end(), rec.Name);
            rec.T_Nom = 100;
            rec.T_Max = 150;
            snapshot += std::string(reinterpret_cast<const char*>(&rec), sizeof rec);
        }
        WriteFileBytes(File("dayUST.txt"), snapshot);

        // The snapshot's thresholds win over these; only the switch-off current is taken.
        channels::UstavkiTable settings;
        for (int n = 1; n <= 72; ++n) {
            settings[n] = channels::DefaultUstavka(n);
            settings[n].Oborot = 10;
        }
        channels::SettingsFile(File("R.INI").string(), common::RegionalSettings::Russian()).SaveAll(settings);
    }

    struct Run {
        int Status;
        std::vector<std::string> Lines;
        std::string Err;
    };
    Run Summary(std::vector<std::string> extra) {
        std::vector<std::string> args{"summary", File("day.txt").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        std::ostringstream out, err;
        Run run{tools::RunArchiveTool(args, out, err), {}, err.str()};
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);)
            run.Lines.push_back(line.substr(0, line.size() - (line.ends_with('\r') ? 1 : 0)));
        return run;
    }
};

TEST_F(SummaryTool, OneRowPerMotorWithTheDayClassedByTheSnapshotAndTheSwitchOffCurrent) {
    const Run run = Summary({File("dayUST.txt").string(), "--settings", File("R.INI").string()});
    EXPECT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Lines.size(), 73u);
    EXPECT_EQ(run.Lines[0],
              "channel,name,nominal_current,critical_current,switch_off_current,records,"
              "off_seconds,running_seconds,above_nominal_seconds,overloaded_seconds,"
              "no_data_seconds,starts,peak_current,peak_time,overload_episodes,"
              "longest_overload_seconds,thresholds_from,journal_starts,journal_start_peak_current,"
              "journal_longest_start_seconds,journal_long_starts,journal_overloads,"
              "journal_longest_overload_seconds");
    // Never running: the whole covered time off, no start, its peak the first zero.
    EXPECT_EQ(run.Lines[1], "1,M1,100,150,10,7,7,0,0,0,59,0,0,08:00:00.000,0,0,snapshot,,,,,,");
    // Running as the day starts is no start; the restart after two seconds off is one.
    EXPECT_EQ(run.Lines[2], "2,M2,100,150,10,7,3,3,1,0,59,1,120,08:00:04.000,0,0,snapshot,,,,,,");
    // The gap ends an episode even when the motor is overloaded on both sides of it.
    EXPECT_EQ(run.Lines[3], "3,M3,100,150,10,7,0,2,0,5,59,0,200,08:00:01.000,3,3,snapshot,,,,,,");
    EXPECT_EQ(run.Lines[72].substr(0, 8), "72,M72,1");
}

TEST_F(SummaryTool, SpreadsheetFormAndWhatItDoesWithoutSnapshotOrSettings) {
    const Run excel =
        Summary({File("dayUST.txt").string(), "--excel", "--settings=" + File("R.INI").string()});
    EXPECT_EQ(excel.Status, 0);
    ASSERT_EQ(excel.Lines.size(), 73u);
    EXPECT_EQ(excel.Lines[2], "2;M2;100;150;10;7;3;3;1;0;59;1;120;08:00:04,000;0;0;snapshot;;;;;;");

    // The day's snapshot beside the readings is found without being named; the switch-off current,
    // with no settings file, is the default 320 A.
    const Run beside = Summary({});
    EXPECT_EQ(beside.Status, 0) << beside.Err;
    ASSERT_EQ(beside.Lines.size(), 73u);
    EXPECT_EQ(beside.Lines[3], "3,M3,100,150,320,7,2,0,0,5,59,1,200,08:00:01.000,3,3,snapshot,,,,,,");

    // Neither: the defaults (nominal 560 above critical 540, off at or below 320 A), and it says so.
    std::filesystem::remove(File("dayUST.txt"));
    const Run bare = Summary({});
    EXPECT_EQ(bare.Status, 0);
    ASSERT_EQ(bare.Lines.size(), 73u);
    EXPECT_EQ(bare.Lines[3], "3,3,560,540,320,7,7,0,0,0,59,0,200,08:00:01.000,0,0,defaults,,,,,,");
    EXPECT_NE(bare.Err.find("no snapshot of the day"), std::string::npos) << bare.Err;
    // The present settings stand in for the missing snapshot, thresholds and all.
    const Run present = Summary({"--settings", File("R.INI").string()});
    EXPECT_EQ(present.Lines[3].substr(0, 16), "3,3,560,540,10,7");
    EXPECT_EQ(present.Lines[3].substr(present.Lines[3].size() - 15), ",settings,,,,,,");
}

// The day's journal beside day.txt: motor 2 starts twice, the second a long start; motor 3 is
// overloaded twice, the second still on; a kind this tool does not know, and a start torn by a power cut.
const std::string kJournal = std::string("\xEF\xBB\xBF") + events::EventJournal::kHeader +
                             "\r\n06.12.2026 07:59:58;запуск программы;;;;;;;\r\n"
                             "06.12.2026 08:00:04;пуск;2;Формовка А;M2;;;;\r\n"
                             "06.12.2026 08:00:06;пуск завершён;2;Формовка А;M2;612,5;2,0;;\r\n"
                             "06.12.2026 08:10:00;пуск;2;Формовка А;M2;;;;\r\n"
                             "06.12.2026 08:10:10;затянутый пуск;2;Формовка А;M2;1149,0;10,0;да;\r\n"
                             "06.12.2026 08:20:00;перегрузка;3;Формовка А;M3;;;да;\r\n"
                             "06.12.2026 08:20:07;перегрузка снята;3;Формовка А;M3;412,5;7,5;;\r\n"
                             "06.12.2026 08:30:00;перегрузка;3;Формовка А;M3;;;да;\r\n"
                             "06.12.2026 08:40:00;квитирование;3;Формовка А;M3;;;;Иванов, смена 2\r\n"
                             "06.12.2026 08:50:00;пуск;2;Форм";

TEST_F(SummaryTool, EventsPrintsTheJournalInEitherFormAndPassesUnknownKindsThrough) {
    WriteFileBytes(File("day.events.csv"), kJournal);
    std::ostringstream out, err;
    EXPECT_EQ(tools::RunArchiveTool({"events", File("day.events.csv").string()}, out, err), 1);
    EXPECT_EQ(out.str(), "time,event,channel,section,name,peak_current,duration_seconds,alarm,details\r\n"
                         "2026-12-06 07:59:58,запуск программы,,,,,,,\r\n"
                         "2026-12-06 08:00:04,пуск,2,Формовка А,M2,,,,\r\n"
                         "2026-12-06 08:00:06,пуск завершён,2,Формовка А,M2,612.5,2,,\r\n"
                         "2026-12-06 08:10:00,пуск,2,Формовка А,M2,,,,\r\n"
                         "2026-12-06 08:10:10,затянутый пуск,2,Формовка А,M2,1149,10,да,\r\n"
                         "2026-12-06 08:20:00,перегрузка,3,Формовка А,M3,,,да,\r\n"
                         "2026-12-06 08:20:07,перегрузка снята,3,Формовка А,M3,412.5,7.5,,\r\n"
                         "2026-12-06 08:30:00,перегрузка,3,Формовка А,M3,,,да,\r\n"
                         "2026-12-06 08:40:00,квитирование,3,Формовка А,M3,,,,\"Иванов, смена 2\"\r\n");
    EXPECT_NE(err.str().find("ends with a torn line of 39 bytes; the 9 whole lines before it were written"),
              std::string::npos)
        << err.str();

    std::ostringstream excel, excelErr;
    EXPECT_EQ(tools::RunArchiveTool({"events", "--excel", File("day.events.csv").string()}, excel, excelErr),
              1);
    const std::string sheet = excel.str();
    EXPECT_TRUE(sheet.starts_with("\xEF\xBB\xBFtime;event;channel;")) << sheet;
    EXPECT_NE(sheet.find("\r\n06.12.2026 08:20:07;перегрузка снята;3;Формовка А;M3;412,5;7,5;;\r\n"),
              std::string::npos);
    EXPECT_NE(sheet.find("\r\n06.12.2026 08:40:00;квитирование;3;Формовка А;M3;;;;Иванов, смена 2\r\n"),
              std::string::npos);

    // A line whose time cannot be read lost its first column, shifting the rest one column left.
    WriteFileBytes(File("damaged.events.csv"), std::string("\xEF\xBB\xBF") + events::EventJournal::kHeader +
                                                   "\r\n32.12.2026 25:00:00;пуск;2;Формовка А;M2;;;;\r\n");
    std::ostringstream damaged, damagedErr;
    EXPECT_EQ(tools::RunArchiveTool({"events", File("damaged.events.csv").string()}, damaged, damagedErr), 0);
    EXPECT_TRUE(damaged.str().ends_with("\r\n,пуск,2,Формовка А,M2,,,,\r\n")) << damaged.str();

    // Not a journal: no header line. Nothing is written.
    WriteFileBytes(File("notes.csv"), "06.12.2026 08:00:04;пуск;2;Формовка А;M2;;;;\r\n");
    for (const char* file : {"notes.csv", "nowhere.csv"}) {
        std::ostringstream none, why;
        EXPECT_EQ(tools::RunArchiveTool({"events", File(file).string()}, none, why), 1) << file;
        EXPECT_EQ(none.str(), "") << file;
        EXPECT_NE(why.str().find(std::string(file) + ": "), std::string::npos) << why.str();
    }
    std::ostringstream ignored;
    EXPECT_EQ(tools::RunArchiveTool({"events", File("day.events.csv").string(), "--channels", "2"}, ignored,
                                    ignored),
              2);
}

TEST_F(SummaryTool, TheJournalBesideTheDayGivesEachMotorItsStartsAndOverloads) {
    WriteFileBytes(File("day.events.csv"), kJournal);
    const Run run = Summary({});
    EXPECT_EQ(run.Status, 1) << "the torn line";
    ASSERT_EQ(run.Lines.size(), 73u);
    // Two starts (the torn third is none), the long one's peak and length, no overload.
    EXPECT_TRUE(run.Lines[2].ends_with("snapshot,2,1149,10,1,0,")) << run.Lines[2];
    // Overloads outside starts; the one still on has no length yet.
    EXPECT_TRUE(run.Lines[3].ends_with("snapshot,0,,,0,2,7.5")) << run.Lines[3];
    EXPECT_TRUE(run.Lines[1].ends_with("snapshot,0,,,0,0,")) << run.Lines[1];
    EXPECT_NE(run.Err.find("day.events.csv: ends with a torn line of 39 bytes; the 9 whole lines before it "
                           "were counted"),
              std::string::npos)
        << run.Err;

    WriteFileBytes(File("day.events.csv"), kJournal.substr(0, kJournal.rfind('\n') + 1));
    const Run excel = Summary({"--excel"});
    EXPECT_EQ(excel.Status, 0) << excel.Err;
    EXPECT_TRUE(excel.Lines[3].ends_with("snapshot;0;;;0;2;7,5")) << excel.Lines[3];

    // A file there that is no journal fails, its columns empty; none there is only noted.
    WriteFileBytes(File("day.events.csv"), "время;событие\r\n");
    const Run damaged = Summary({});
    EXPECT_EQ(damaged.Status, 1);
    EXPECT_TRUE(damaged.Lines[2].ends_with("snapshot,,,,,,")) << damaged.Lines[2];
    EXPECT_NE(damaged.Err.find("day.events.csv: not an event journal"), std::string::npos) << damaged.Err;
    std::filesystem::remove(File("day.events.csv"));
    const Run none = Summary({});
    EXPECT_EQ(none.Status, 0);
    EXPECT_TRUE(none.Lines[2].ends_with("snapshot,,,,,,")) << none.Lines[2];
    EXPECT_NE(none.Err.find("no event journal of the day"), std::string::npos) << none.Err;
}

TEST_F(SummaryTool, TroubleIsReportedAndAShortSnapshotStillGivesEveryMotor) {
    WriteFileBytes(File("shortUST.txt"), ReadFileBytes(File("dayUST.txt")).substr(0, 2 * 80));
    const Run shortSnapshot = Summary({File("shortUST.txt").string()});
    EXPECT_EQ(shortSnapshot.Status, 1);
    ASSERT_EQ(shortSnapshot.Lines.size(), 73u);
    EXPECT_EQ(shortSnapshot.Lines[2].substr(0, 15), "2,M2,100,150,32");
    EXPECT_EQ(shortSnapshot.Lines[3].substr(0, 14), "3,3,560,540,32");
    EXPECT_NE(shortSnapshot.Err.find("holds 2 of the 72 channel records; the others were summed up with the "
                                     "program's default thresholds"),
              std::string::npos)
        << shortSnapshot.Err;

    const Run noSettings = Summary({"--settings", File("none.INI").string()});
    EXPECT_EQ(noSettings.Status, 1);
    EXPECT_TRUE(noSettings.Lines.empty());
    EXPECT_NE(noSettings.Err.find("none.INI: cannot open"), std::string::npos);

    WriteFileBytes(File("empty.txt"), "");
    std::ostringstream out, err;
    EXPECT_EQ(tools::RunArchiveTool({"summary", File("empty.txt").string()}, out, err), 1);
    EXPECT_NE(err.str().find("empty: no readings record"), std::string::npos) << err.str();
    EXPECT_EQ(Summary({"--channels", "1"}).Status, 2);
    EXPECT_EQ(Summary({File("dayUST.txt").string(), "extra"}).Status, 2);
}

} // namespace
} // namespace registrator::archive::testing
