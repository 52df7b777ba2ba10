#include "ArchiveExport.h"
#include "ArchiveTestSupport.h"
#include "channels/SettingsFile.h"

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
    EXPECT_EQ(run.Lines[0], "channel,name,nominal_current,critical_current,switch_off_current,records,"
                            "off_seconds,running_seconds,above_nominal_seconds,overloaded_seconds,"
                            "no_data_seconds,starts,peak_current,peak_time,overload_episodes,"
                            "longest_overload_seconds,thresholds_from");
    // Never running: the whole covered time off, no start, its peak the first zero.
    EXPECT_EQ(run.Lines[1], "1,M1,100,150,10,7,7,0,0,0,59,0,0,08:00:00.000,0,0,snapshot");
    // Running as the day starts is no start; the restart after two seconds off is one.
    EXPECT_EQ(run.Lines[2], "2,M2,100,150,10,7,3,3,1,0,59,1,120,08:00:04.000,0,0,snapshot");
    // The gap ends an episode even when the motor is overloaded on both sides of it.
    EXPECT_EQ(run.Lines[3], "3,M3,100,150,10,7,0,2,0,5,59,0,200,08:00:01.000,3,3,snapshot");
    EXPECT_EQ(run.Lines[72].substr(0, 8), "72,M72,1");
}

TEST_F(SummaryTool, SpreadsheetFormAndWhatItDoesWithoutSnapshotOrSettings) {
    const Run excel =
        Summary({File("dayUST.txt").string(), "--excel", "--settings=" + File("R.INI").string()});
    EXPECT_EQ(excel.Status, 0);
    ASSERT_EQ(excel.Lines.size(), 73u);
    EXPECT_EQ(excel.Lines[2], "2;M2;100;150;10;7;3;3;1;0;59;1;120;08:00:04,000;0;0;snapshot");

    // The day's snapshot beside the readings is found without being named; the switch-off current,
    // with no settings file, is the default 320 A.
    const Run beside = Summary({});
    EXPECT_EQ(beside.Status, 0) << beside.Err;
    ASSERT_EQ(beside.Lines.size(), 73u);
    EXPECT_EQ(beside.Lines[3], "3,M3,100,150,320,7,2,0,0,5,59,1,200,08:00:01.000,3,3,snapshot");

    // Neither: the defaults (nominal 560 above critical 540, off at or below 320 A), and it says so.
    std::filesystem::remove(File("dayUST.txt"));
    const Run bare = Summary({});
    EXPECT_EQ(bare.Status, 0);
    ASSERT_EQ(bare.Lines.size(), 73u);
    EXPECT_EQ(bare.Lines[3], "3,3,560,540,320,7,7,0,0,0,59,0,200,08:00:01.000,0,0,defaults");
    EXPECT_NE(bare.Err.find("no snapshot of the day"), std::string::npos) << bare.Err;
    // The present settings stand in for the missing snapshot, thresholds and all.
    const Run present = Summary({"--settings", File("R.INI").string()});
    EXPECT_EQ(present.Lines[3].substr(0, 16), "3,3,560,540,10,7");
    EXPECT_EQ(present.Lines[3].substr(present.Lines[3].size() - 9), ",settings");
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
