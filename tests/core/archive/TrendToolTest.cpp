// registrator-archive trend and digest over a generated month, held against minutes and records the test
// counts itself from the day files' bytes.
#include "ArchiveExport.h"
#include "archive/ArchiveRecords.h"
#include "common/DateTime.h"
#include "support/TempFolder.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace registrator::archive::testing {
namespace {

// The tool writes a full stop whatever the locale; std::stod would read it by the locale's own rule.
double NumberOf(const std::string& text) {
    double value = NAN;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

constexpr int kDays = 30;
constexpr int kMissingDay = 11; // 12.11.2026 has no file
constexpr int kSetBackDay = 18; // 19.11.2026: the clock set back an hour late in the day
constexpr int kTornDay = 19;    // 20.11.2026 ends with an unfinished record
const common::TDateTime kFirst = common::EncodeDate(2026, 11, 1);
const std::vector<int> kChannels = {3, 5, 17};

// Channel 3 has implausible readings, 5 quarter amperes (a digest keeps those in its wide form), 17
// whole ones; the others stand still.
double Reading(int channel, int day, int second) {
    if (channel == 3)
        return second % 97 == 0 ? std::nan("") : second % 89 == 0 ? -1 : (second * 7 + day) % 200;
    if (channel == 5)
        return 10 + ((second * 3 + day) % 50) * 0.25;
    if (channel == 17)
        return 100 + (second + day * 11) % 37;
    return channel;
}

// A morning's stretch a second apart, a longer one 13 s apart, and on one day an hour again.
std::vector<TArhivRec> MakeDay(int day) {
    std::vector<TArhivRec> records;
    const auto stretch = [&](int from, int step, int count) {
        for (int i = 0; i < count; ++i) {
            TArhivRec& r = records.emplace_back();
            const int second = from + i * step;
            r.Time = second / 86400.0;
            for (int n = 1; n <= 72; ++n)
                r.Tok[n - 1] = Reading(n, day, second);
        }
    };
    stretch(8 * 3600, 1, 600);
    stretch(10 * 3600 + day, 13, 700);
    if (day == kSetBackDay)
        stretch(10 * 3600 + 1800, 1, 120);
    return records;
}

struct Band {
    double Min = 0, Max = 0, Sum = 0;
    int Records = 0;
};
// (day, minute) -> each channel of kChannels.
using Minutes = std::map<std::pair<int, int>, std::vector<Band>>;

// What the month holds, counted from the files as a reader of the format would.
Minutes CountMinutes(const std::filesystem::path& folder) {
    Minutes minutes;
    for (int day = 0; day < kDays; ++day) {
        std::ifstream file(folder / (common::ArchiveDateText(kFirst + day) + ".txt"), std::ios::binary);
        for (TArhivRec r; file.read(reinterpret_cast<char*>(&r), sizeof r);) {
            const int minute = static_cast<int>(std::llround(r.Time * 86400000) / 60000);
            auto& bands = minutes[{day, minute}];
            bands.resize(kChannels.size());
            for (std::size_t k = 0; k < kChannels.size(); ++k) {
                const double v = r.Tok[kChannels[k] - 1];
                if (!(v >= 0))
                    continue;
                Band& b = bands[k];
                b.Min = b.Records ? std::min(b.Min, v) : v;
                b.Max = b.Records ? std::max(b.Max, v) : v;
                b.Sum += v;
                ++b.Records;
            }
        }
    }
    return minutes;
}

std::vector<std::vector<std::string>> Rows(const std::string& csv) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(csv);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.back(), '\r');
        line.pop_back();
        std::vector<std::string>& fields = rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            fields.push_back(cell);
        if (line.back() == ',')
            fields.emplace_back();
    }
    return rows;
}

// Standard output that remembers its largest single write.
class PieceCounter : public std::stringbuf {
public:
    std::streamsize Largest = 0;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        Largest = std::max(Largest, n);
        return std::stringbuf::xsputn(s, n);
    }
};

struct TrendRun {
    int Status = 0;
    std::string Out;
    std::string Err;
    std::streamsize LargestPiece = 0;
};

TrendRun RunTool(const std::vector<std::string>& args) {
    PieceCounter pieces;
    std::ostream out(&pieces);
    std::ostringstream err;
    const int status = tools::RunArchiveTool(args, out, err);
    return {status, pieces.str(), err.str(), pieces.Largest};
}

class TrendTool : public ::testing::Test {
protected:
    void SetUp() override {
        for (int day = 0; day < kDays; ++day) {
            if (day == kMissingDay)
                continue;
            const std::vector<TArhivRec> records = MakeDay(day);
            std::string bytes(reinterpret_cast<const char*>(records.data()),
                              records.size() * sizeof(TArhivRec));
            if (day == kTornDay)
                bytes += std::string(100, '\x11');
            support::WriteFileBytes(Day(day), bytes);
        }
    }
    std::filesystem::path Day(int day) const {
        return temp.Path() / (common::ArchiveDateText(kFirst + day) + ".txt");
    }

    support::TempFolder temp;
};

TEST_F(TrendTool, AMonthOfMinutesAndRecordsAgreesWithWhatTheDayFilesHold) {
    const TrendRun made = RunTool({"digest", temp.Slash()});
    EXPECT_EQ(made.Status, 0) << made.Err;
    EXPECT_EQ(made.Out, "29 days: 29 digests made, 0 up to date or without records\n");
    EXPECT_NE(made.Err.find("digests: 29 of 29 days"), std::string::npos) << made.Err;
    EXPECT_EQ(RunTool({"digest", temp.Slash()}).Out,
              "29 days: 0 digests made, 29 up to date or without records\n");

    const Minutes expected = CountMinutes(temp.Path());
    const TrendRun month = RunTool(
        {"trend", temp.Slash(), "--from", "01.11.2026", "--to", "30.11.2026", "--channels", "3,5,17"});
    EXPECT_EQ(month.Status, 0) << month.Err;
    EXPECT_EQ(month.Err, "");
    // Sent on as it is made, never the month at once.
    EXPECT_LT(month.LargestPiece, 100000);
    const auto rows = Rows(month.Out);
    ASSERT_EQ(rows.size(), expected.size() + 1);
    EXPECT_EQ(rows[0][0] + "," + rows[0][3] + "," + rows[0][13], "date,ch3_mean,ch17_records");
    auto row = rows.begin() + 1;
    for (const auto& [when, bands] : expected) {
        const auto& [day, minute] = when;
        ASSERT_EQ(row->size(), 14u);
        const std::string time = (*row)[1];
        EXPECT_EQ((*row)[0], common::ArchiveDateText(kFirst + day));
        EXPECT_EQ(std::stoi(time.substr(0, 2)) * 60 + std::stoi(time.substr(3, 2)), minute) << time;
        for (std::size_t k = 0; k < bands.size(); ++k) {
            const Band& b = bands[k];
            const std::string* field = &(*row)[2 + 4 * k];
            EXPECT_EQ(std::stoi(field[3]), b.Records) << (*row)[0] << " " << time;
            if (b.Records == 0)
                continue;
            EXPECT_EQ(NumberOf(field[0]), b.Min);
            EXPECT_NEAR(NumberOf(field[1]), b.Sum / b.Records, 1e-9 * b.Max);
            EXPECT_EQ(NumberOf(field[2]), b.Max);
        }
        ++row;
    }

    // Part of two days, one of whose digests has gone: made again, with a progress line.
    std::filesystem::remove(temp.Path() / "digest" / "05.11.2026.digest");
    const TrendRun part = RunTool({"trend", temp.Slash(), "--from", "05.11.2026", "10:30",
                                   "--to=06.11.2026 08:05", "--channels", "3,5,17"});
    EXPECT_NE(part.Err.find("making digests: 0 of 2 days, now 05.11.2026"), std::string::npos) << part.Err;
    std::size_t inWindow = 0;
    for (const auto& [when, bands] : expected)
        inWindow += (when.first == 4 && when.second >= 630) || (when.first == 5 && when.second < 485);
    const auto partRows = Rows(part.Out);
    EXPECT_EQ(partRows.size(), inWindow + 1);
    EXPECT_EQ(partRows[1][1], "10:30:00.000");
    EXPECT_EQ(partRows.back()[0] + " " + partRows.back()[1], "06.11.2026 08:04:00.000");

    // Every whole record of the days in file order, the clock set back or not; the torn one left out.
    const TrendRun records = RunTool({"trend", temp.Slash(), "--from", "19.11.2026", "--to", "20.11.2026",
                                      "--channels", "17", "--records"});
    EXPECT_EQ(records.Status, 0) << records.Err;
    const auto recordRows = Rows(records.Out);
    std::size_t at = 1;
    for (const int day : {kSetBackDay, kTornDay})
        for (const TArhivRec& r : MakeDay(day)) {
            ASSERT_LT(at, recordRows.size());
            const auto second = static_cast<int>(std::lround(r.Time * 86400));
            char time[32];
            std::snprintf(time, sizeof time, "%02d:%02d:%02d.000", second / 3600, second / 60 % 60,
                          second % 60);
            EXPECT_EQ(recordRows[at],
                      (std::vector<std::string>{common::ArchiveDateText(kFirst + day), time,
                                                std::to_string(static_cast<int>(r.Tok[16]))}));
            ++at;
        }
    EXPECT_EQ(at, recordRows.size());
}

TEST_F(TrendTool, ADayThatCannotBeReadIsNamedAndTheOthersStillGoOut) {
    std::filesystem::remove(Day(2));
    std::filesystem::create_directory(Day(2));
    const TrendRun run =
        RunTool({"trend", temp.Slash(), "--from", "02.11.2026", "--to", "04.11.2026", "--channels", "17"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("03.11.2026.txt: "), std::string::npos) << run.Err;
    std::size_t minutes = 0;
    for (const auto& [when, bands] : CountMinutes(temp.Path()))
        minutes += when.first == 1 || when.first == 3;
    EXPECT_EQ(Rows(run.Out).size(), 1 + minutes);

    const TrendRun nowhere =
        RunTool({"trend", (temp.Path() / "none").string(), "--from", "01.11.2026", "--to", "02.11.2026"});
    EXPECT_EQ(nowhere.Status, 1);
    EXPECT_NE(nowhere.Err.find("none: no such folder"), std::string::npos) << nowhere.Err;
}

TEST(TrendCommandLine, APeriodThatCannotBeMeantIsRefusedWithTheReason) {
    const struct {
        std::vector<std::string> Args;
        const char* Reason;
    } cases[] = {
        {{"trend", "--from", "01.11.2026"}, "trend needs --from and --to"},
        {{"trend", "--from", "31.11.2026", "--to", "01.12.2026"}, "\"31.11.2026\" is not a date"},
        {{"trend", "--from", "01.11.2026 24:00", "--to", "02.11.2026"}, "\"01.11.2026 24:00\" is not a date"},
        {{"trend", "--from", "02.11.2026", "--to", "01.11.2026"}, "--to must come after --from"},
        {{"trend", "--from", "01.11.2026", "--to", "01.11.2026", "--minute", "--records"},
         "exclude each other"},
        {{"readings", "x.txt", "--from", "01.11.2026"}, "apply to trend only"},
        {{"digest", "Data", "--excel"}, "digest writes no CSV"},
        {{"digest"}, "no archive folder given"},
    };
    for (const auto& c : cases) {
        const TrendRun run = RunTool(c.Args);
        EXPECT_EQ(run.Status, 2) << c.Reason;
        EXPECT_NE(run.Err.find(c.Reason), std::string::npos) << run.Err;
    }
}

} // namespace
} // namespace registrator::archive::testing
