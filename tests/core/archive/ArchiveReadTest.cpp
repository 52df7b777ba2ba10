#include "ArchiveTestSupport.h"
#include "channels/ChannelData.h"

#include <fstream>

namespace registrator::archive::testing {
namespace {

// The fixtures (see tests/data/archive/make_fixtures.py):
//   06.12.2026.txt: three records, at 12:00:00.000 (channel n = n A), 12:01:02.345 (channel n = 10n A)
//     and 23:59:59.999 (channel 1 = 600 A, channel 72 = 1.5 A, the rest 0);
//   06.12.2026UST.txt: 72 records, channel k "M<k>" except 1 "Рыхлит.1", 2 "Смеситель, 2",
//     3 "Фартук \"А\""; nominal 100 + k, critical 150.5 + k, power 10k; junk in padding and unused bytes.
std::filesystem::path Fixture(const std::string& name) {
    return std::filesystem::path(REGISTRATOR_TEST_DATA) / "archive" / name;
}

class ReadTest : public ArchiveFolderTest {
protected:
    void CopyFixture(const std::string& fixture, const std::string& as) {
        std::filesystem::copy_file(Fixture(fixture), File(as));
    }
    // Entry k of UstBuf named "old<k>" with power -k, to see which entries a read replaced.
    void FillUstBufWithOldEntries() {
        channels::UstavkiTable old;
        for (int k = 1; k <= 72; ++k) {
            old[k].Name.AssignCp1251("old" + std::to_string(k));
            old[k].Moshn = -k;
        }
        archive.WriteUst(old);
        std::filesystem::remove(File("06.12.2026UST.txt"));
    }
};

TEST_F(ReadTest, LoadsEveryRecordOfTheDayInFileOrder) {
    CopyFixture("06.12.2026.txt", "06.12.2026.txt");
    archive.ReadArhiv("06.12.2026");

    EXPECT_TRUE(messages.Texts.empty());
    ASSERT_EQ(archive.ArhivCount, 3u);
    EXPECT_EQ(archive.ArhivBuf[0].Time, 0.5);
    EXPECT_EQ(archive.ArhivBuf[1].Time, (12 * 3600000 + 62345) / 86400000.0);
    EXPECT_EQ(archive.ArhivBuf[2].Time, 86399999 / 86400000.0);
    for (int n = 1; n <= 72; ++n) {
        EXPECT_EQ(archive.ArhivBuf[0].Tok[n - 1], n);
        EXPECT_EQ(archive.ArhivBuf[1].Tok[n - 1], 10.0 * n);
    }
    EXPECT_EQ(archive.ArhivBuf[2].Tok[0], 600.0);
    EXPECT_EQ(archive.ArhivBuf[2].Tok[71], 1.5);
}

TEST_F(ReadTest, EmptyFileSaysNoDataAndCountsZero) {
    CopyFixture("06.12.2026.txt", "06.12.2026.txt");
    archive.ReadArhiv("06.12.2026");
    WriteFileBytes(File("07.12.2026.txt"), "");
    archive.ReadArhiv("07.12.2026");

    EXPECT_EQ(messages.Texts, std::vector<std::string>{kNoData});
    EXPECT_EQ(archive.ArhivCount, 0u);
}

TEST_F(ReadTest, MissingFileSaysOpenFailedAndKeepsTheLoadedDay) {
    CopyFixture("06.12.2026.txt", "06.12.2026.txt");
    archive.ReadArhiv("06.12.2026");
    archive.ReadArhiv("05.12.2026");

    EXPECT_EQ(messages.Texts, std::vector<std::string>{kOpenFailed});
    ASSERT_EQ(archive.ArhivCount, 3u);
    EXPECT_EQ(archive.ArhivBuf[2].Tok[0], 600.0);
}

TEST_F(ReadTest, UnfinishedTailIsNotLoaded) {
    const std::string day = ReadFileBytes(Fixture("06.12.2026.txt"));
    WriteFileBytes(File("06.12.2026.txt"), day.substr(0, 1000)); // one record and 416 bytes of the next
    archive.ReadArhiv("06.12.2026");
    EXPECT_TRUE(messages.Texts.empty());
    EXPECT_EQ(archive.ArhivCount, 1u);

    WriteFileBytes(File("07.12.2026.txt"), day.substr(0, 583));
    archive.ReadArhiv("07.12.2026");
    EXPECT_EQ(messages.Texts, std::vector<std::string>{kNoData});
    EXPECT_EQ(archive.ArhivCount, 0u);
}

TEST_F(ReadTest, FullDayAtOneRecordASecondLoadsWholeAndTheTableIsReused) {
    constexpr std::size_t kDay = 86400;
    {
        std::vector<TArhivRec> records(kDay);
        for (std::size_t i = 0; i < kDay; ++i) {
            records[i].Time = static_cast<double>(i) * 1000 / 86400000.0;
            records[i].Tok[0] = static_cast<double>(i);
            records[i].Tok[71] = static_cast<double>(i % 1000);
        }
        std::ofstream out(File("06.12.2026.txt"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(records.data()),
                  static_cast<std::streamsize>(records.size() * sizeof(TArhivRec)));
    }
    archive.ReadArhiv("06.12.2026");

    EXPECT_TRUE(messages.Texts.empty());
    ASSERT_EQ(archive.ArhivCount, kDay);
    for (std::size_t i : {std::size_t{0}, std::size_t{64999}, std::size_t{65000}, kDay - 1}) {
        EXPECT_EQ(archive.ArhivBuf[i].Tok[0], static_cast<double>(i));
        EXPECT_EQ(archive.ArhivBuf[i].Tok[71], static_cast<double>(i % 1000));
        EXPECT_EQ(archive.ArhivBuf[i].Time, static_cast<double>(i) * 1000 / 86400000.0);
    }

    // A shorter day afterwards reuses the same storage.
    const TArhivRec* storage = archive.ArhivBuf.data();
    CopyFixture("06.12.2026.txt", "05.12.2026.txt");
    archive.ReadArhiv("05.12.2026");
    archive.ReadArhiv("06.12.2026");
    EXPECT_EQ(archive.ArhivCount, kDay);
    EXPECT_EQ(archive.ArhivBuf.data(), storage);
}

TEST_F(ReadTest, SnapshotLoadsNamesAndSettingsAndIgnoresUnusedBytes) {
    CopyFixture("06.12.2026UST.txt", "06.12.2026UST.txt");
    archive.ReadUst("06.12.2026");

    EXPECT_TRUE(messages.Texts.empty());
    EXPECT_EQ(NameBytes(archive.UstBuf[0]), "\xD0\xFB\xF5\xEB\xE8\xF2.1"); // "Рыхлит.1" in Windows-1251
    EXPECT_EQ(archive.UstBuf[0].T_Nom, 101.0);
    EXPECT_EQ(archive.UstBuf[0].T_Max, 151.5);
    EXPECT_EQ(archive.UstBuf[0].Moshn, 10);
    EXPECT_EQ(NameBytes(archive.UstBuf[71]), "M72");
    EXPECT_EQ(archive.UstBuf[71].T_Nom, 172.0);
    EXPECT_EQ(archive.UstBuf[71].T_Max, 222.5);
    EXPECT_EQ(archive.UstBuf[71].Moshn, 720);
}

TEST_F(ReadTest, NoMeansTodayByTheClockAndAnyOtherTextNamesTheFile) {
    EXPECT_EQ(archive.SnapshotPath("abc"), folder.string() + "/abcUST.txt");
    EXPECT_EQ(archive.ReadingsPath("06.12.2026"), folder.string() + "/06.12.2026.txt");

    CopyFixture("06.12.2026UST.txt", "06.12.2026UST.txt");
    archive.ReadUst("no");
    EXPECT_TRUE(messages.Texts.empty());
    EXPECT_EQ(archive.UstBuf[71].Moshn, 720);

    CopyFixture("06.12.2026UST.txt", "abcUST.txt");
    FillUstBufWithOldEntries();
    archive.ReadUst("abc");
    EXPECT_TRUE(messages.Texts.empty());
    EXPECT_EQ(archive.UstBuf[71].Moshn, 720);

    clock.Set(common::EncodeDate(2026, 12, 7) + common::EncodeTime(0, 0, 0, 1));
    archive.ReadUst("no");
    EXPECT_EQ(messages.Texts, std::vector<std::string>{kOpenFailed});
}

TEST_F(ReadTest, ShortSnapshotReplacesOnlyTheEntriesItHolds) {
    const std::string snapshot = ReadFileBytes(Fixture("06.12.2026UST.txt"));
    WriteFileBytes(File("01.12.2026UST.txt"), snapshot.substr(0, 10 * 80 + 40)); // 10 records and a half
    FillUstBufWithOldEntries();
    archive.ReadUst("01.12.2026");

    EXPECT_TRUE(messages.Texts.empty());
    EXPECT_EQ(archive.UstBuf[9].Moshn, 100);
    EXPECT_EQ(NameBytes(archive.UstBuf[9]), "M10");
    EXPECT_EQ(archive.UstBuf[10].Moshn, -11);
    EXPECT_EQ(NameBytes(archive.UstBuf[10]), "old11");
    EXPECT_EQ(NameBytes(archive.UstBuf[71]), "old72");
}

TEST_F(ReadTest, LongSnapshotFillsThe72EntriesOnly) {
    const std::string snapshot = ReadFileBytes(Fixture("06.12.2026UST.txt"));
    WriteFileBytes(File("01.12.2026UST.txt"), snapshot + snapshot.substr(0, 5 * 80));
    archive.ReadUst("01.12.2026");

    EXPECT_TRUE(messages.Texts.empty());
    EXPECT_EQ(NameBytes(archive.UstBuf[71]), "M72");
    EXPECT_EQ(archive.UstBuf[71].Moshn, 720);
}

TEST_F(ReadTest, EmptyOrMissingSnapshotKeepsTheTable) {
    FillUstBufWithOldEntries();
    WriteFileBytes(File("01.12.2026UST.txt"), std::string(79, 'x'));
    archive.ReadUst("01.12.2026");
    archive.ReadUst("02.12.2026");

    EXPECT_EQ(messages.Texts, (std::vector<std::string>{kNoData, kOpenFailed}));
    EXPECT_EQ(NameBytes(archive.UstBuf[0]), "old1");
    EXPECT_EQ(archive.UstBuf[71].Moshn, -72);
}

TEST_F(ReadTest, DayWithNeitherFileReportsOpenFailureTwice) {
    archive.ReadArhiv("01.01.2000");
    archive.ReadUst("01.01.2000");
    EXPECT_EQ(messages.Texts, (std::vector<std::string>{kOpenFailed, kOpenFailed}));
}

// A folder opened for reading on Linux and failed only at the read, which gave "no data" instead.
TEST_F(ReadTest, PathsThatAreFoldersCannotBeOpenedAndKeepTheTables) {
    CopyFixture("06.12.2026.txt", "06.12.2026.txt");
    archive.ReadArhiv("06.12.2026");
    FillUstBufWithOldEntries();
    std::filesystem::create_directory(File("01.01.2000.txt"));
    std::filesystem::create_directory(File("01.01.2000UST.txt"));
    archive.ReadArhiv("01.01.2000");
    archive.ReadUst("01.01.2000");
    EXPECT_EQ(messages.Texts, (std::vector<std::string>{kOpenFailed, kOpenFailed}));
    EXPECT_EQ(archive.ArhivCount, 3u);
    EXPECT_EQ(NameBytes(archive.UstBuf[0]), "old1");
}

TEST_F(ReadTest, NameLengthPastFiftyInADamagedFileIsHeldToFifty) {
    std::string snapshot = ReadFileBytes(Fixture("06.12.2026UST.txt"));
    snapshot[0] = static_cast<char>(200);
    WriteFileBytes(File("01.12.2026UST.txt"), snapshot);
    archive.ReadUst("01.12.2026");
    EXPECT_EQ(NameBytes(archive.UstBuf[0]).size(), 50u);
}

TEST_F(ReadTest, WhatTheWritersStoreReadsBackTheSame) {
    channels::ChannelData data;
    for (int k = 1; k <= 72; ++k) {
        data.Ustavki[k] = channels::DefaultUstavka(k);
        data.Ustavki[k].T_Nom = 0.1 * k;
    }
    data.Ustavki[5].Name.AssignUtf8("Конвейер Т9");
    for (std::uint16_t i = 0; i < 5; ++i) {
        data.TokIndex = i;
        for (int n = 1; n <= 72; ++n)
            data.Current(n).Value = i * 100 + n;
        data.Current(1).Time = common::EncodeTime(10, 0, i, 0);
        archive.WriteArhiv(data);
    }
    archive.WriteUst(data.Ustavki);
    const std::array<TUstRec, 72> written = archive.UstBuf;
    archive.UstBuf = {};

    archive.ReadArhiv(common::ArchiveDateText(clock.Today()));
    archive.ReadUst("no");

    EXPECT_TRUE(messages.Texts.empty());
    ASSERT_EQ(archive.ArhivCount, 5u);
    EXPECT_EQ(archive.ArhivBuf[4].Time, common::EncodeTime(10, 0, 4, 0));
    EXPECT_EQ(archive.ArhivBuf[4].Tok[71], 472.0);
    EXPECT_EQ(std::memcmp(archive.UstBuf.data(), written.data(), sizeof written), 0);
    EXPECT_EQ(NameBytes(archive.UstBuf[4]), "\xCA\xEE\xED\xE2\xE5\xE9\xE5\xF0 \xD2"
                                            "9");
    EXPECT_EQ(archive.UstBuf[9].T_Nom, 0.1 * 10);
}

} // namespace
} // namespace registrator::archive::testing
