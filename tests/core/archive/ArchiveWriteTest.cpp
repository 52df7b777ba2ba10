#include "ArchiveTestSupport.h"
#include "channels/ChannelData.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace registrator::archive::testing {
namespace {

using WriteArhivTest = ArchiveFolderTest;
using WriteUstTest = ArchiveFolderTest;

// Slot TokIndex of channel n holds 100 + n amperes; channel 1 was converted at `time`.
void FillCurrentSlot(channels::ChannelData& data, std::uint16_t tokIndex, double time) {
    data.TokIndex = tokIndex;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        data.Current(n).Value = 100 + n;
        data.Current(n).Time = 0.9; // only channel 1's time is archived
    }
    data.Current(1).Time = time;
}

TEST_F(WriteArhivTest, RecordHoldsChannelOnesTimeAndEveryChannelAtItsOffset) {
    channels::ChannelData data;
    FillCurrentSlot(data, 7, common::EncodeTime(12, 0, 0, 0));
    archive.WriteArhiv(data);

    const std::string bytes = ReadFileBytes(File("06.12.2026.txt"));
    ASSERT_EQ(bytes.size(), 584u);
    EXPECT_EQ(DoubleAt(bytes, 0), 0.5); // noon is exactly half a day
    EXPECT_EQ(DoubleAt(bytes, 8), 101.0);
    EXPECT_EQ(DoubleAt(bytes, 576), 172.0);
    for (int n = 1; n <= 72; ++n)
        EXPECT_EQ(DoubleAt(bytes, 8 + 8 * static_cast<std::size_t>(n - 1)), 100.0 + n) << "channel " << n;
    EXPECT_TRUE(messages.Texts.empty());
}

TEST_F(WriteArhivTest, EachCallAppendsOneRecordAndMidnightIsZero) {
    channels::ChannelData data;
    FillCurrentSlot(data, 0, 0.0);
    archive.WriteArhiv(data);
    data.TokIndex = 1;
    data.Current(1).Time = common::EncodeTime(0, 0, 1, 0);
    data.Current(72).Value = 55;
    archive.WriteArhiv(data);

    const std::string bytes = ReadFileBytes(File("06.12.2026.txt"));
    ASSERT_EQ(bytes.size(), 2 * 584u);
    EXPECT_EQ(DoubleAt(bytes, 0), 0.0);
    EXPECT_EQ(DoubleAt(bytes, 576), 172.0);
    EXPECT_EQ(DoubleAt(bytes, 584), 1000.0 / 86400000.0);
    EXPECT_EQ(DoubleAt(bytes, 584 + 576), 55.0);
}

TEST_F(WriteArhivTest, AppendOverwritesAnUnfinishedTail) {
    TArhivRec first;
    first.Time = 0.25;
    first.Tok[0] = 7;
    WriteFileBytes(File("06.12.2026.txt"), RecordBytes(first) + std::string(1000 - 584, '\xEE'));

    channels::ChannelData data;
    FillCurrentSlot(data, 0, 0.5);
    archive.WriteArhiv(data);

    const std::string bytes = ReadFileBytes(File("06.12.2026.txt"));
    ASSERT_EQ(bytes.size(), 1168u);
    EXPECT_EQ(bytes.substr(0, 584), RecordBytes(first));
    EXPECT_EQ(DoubleAt(bytes, 584), 0.5);
    EXPECT_EQ(DoubleAt(bytes, 584 + 8), 101.0);
}

TEST_F(WriteArhivTest, FileIsNamedAfterTheClocksDateAtEachCall) {
    channels::ChannelData data;
    clock.Set(common::EncodeDate(2026, 12, 31) + common::EncodeTime(23, 59, 59, 500));
    archive.WriteArhiv(data);
    clock.AdvanceMs(1000);
    archive.WriteArhiv(data);
    archive.WriteArhiv(data);

    EXPECT_EQ(std::filesystem::file_size(File("31.12.2026.txt")), 584u);
    EXPECT_EQ(std::filesystem::file_size(File("01.01.2027.txt")), 2 * 584u);
}

TEST_F(WriteArhivTest, LiveAppendLeavesTheLoadedDayAlone) {
    TArhivRec loaded;
    loaded.Time = 0.125;
    loaded.Tok[0] = 42;
    WriteFileBytes(File("05.12.2026.txt"), RecordBytes(loaded) + RecordBytes(loaded));
    archive.ReadArhiv("05.12.2026");
    ASSERT_EQ(archive.ArhivCount, 2u);

    channels::ChannelData data;
    FillCurrentSlot(data, 0, 0.5);
    archive.WriteArhiv(data);
    FillCurrentSlot(data, 1, 0.5);
    archive.WriteArhiv(data);

    EXPECT_EQ(archive.ArhivCount, 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(archive.ArhivBuf[i].Time, 0.125);
        EXPECT_EQ(archive.ArhivBuf[i].Tok[0], 42.0);
    }
}

TEST_F(ArchiveFolderTest, WithoutTheFolderWritersDoNothingAndSayNothing) {
    const std::filesystem::path missing = folder / "Data";
    Archive noFolder(missing.string() + "/", clock, messages);
    channels::ChannelData data;
    noFolder.WriteArhiv(data);
    noFolder.WriteUst(data.Ustavki);

    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_TRUE(messages.Texts.empty());
}

// Channel k: nominal 100 + k + 0.25, critical 200 + k, power -3k; names of 50, 3 and Cyrillic characters.
channels::UstavkiTable SampleSettings() {
    channels::UstavkiTable ustavki;
    for (int k = 1; k <= channels::kChannelCount; ++k) {
        std::string name = "M"; // "M" + to_string trips a false -Wrestrict in mingw g++ 12
        name += std::to_string(k);
        ustavki[k].Name.AssignCp1251(name);
        ustavki[k].T_Nom = 100 + k + 0.25;
        ustavki[k].T_Max = 200 + k;
        ustavki[k].Moshn = -3 * k;
        ustavki[k].Koof_K = 99; // not archived
        ustavki[k].Oborot = 99;
    }
    ustavki[1].Name.AssignCp1251(std::string(50, 'N'));
    ustavki[2].Name.AssignCp1251("ABC");
    ustavki[3].Name.AssignUtf8("Смеситель");
    return ustavki;
}

TEST_F(WriteUstTest, SnapshotLayoutIsByteExact) {
    archive.WriteUst(SampleSettings());

    const std::string bytes = ReadFileBytes(File("06.12.2026UST.txt"));
    ASSERT_EQ(bytes.size(), 5760u);
    for (int k = 1; k <= 72; ++k) {
        const std::size_t base = 80 * static_cast<std::size_t>(k - 1);
        EXPECT_EQ(DoubleAt(bytes, base + 56), 100 + k + 0.25) << "channel " << k;
        EXPECT_EQ(DoubleAt(bytes, base + 64), 200.0 + k) << "channel " << k;
        EXPECT_EQ(Int32At(bytes, base + 72), -3 * k) << "channel " << k;
        // Padding is zero, so the same settings always give the same file.
        EXPECT_EQ(bytes.substr(base + 51, 5), std::string(5, '\0')) << "channel " << k;
        EXPECT_EQ(bytes.substr(base + 76, 4), std::string(4, '\0')) << "channel " << k;
    }
    EXPECT_EQ(bytes[0], 50);
    EXPECT_EQ(bytes.substr(1, 50), std::string(50, 'N'));
    EXPECT_EQ(bytes[80], 3);
    EXPECT_EQ(bytes.substr(81, 50), "ABC" + std::string(47, '\0'));
    EXPECT_EQ(bytes[160], 9);
    EXPECT_EQ(bytes.substr(161, 9), "\xD1\xEC\xE5\xF1\xE8\xF2\xE5\xEB\xFC"); // Windows-1251
    EXPECT_EQ(bytes.substr(80 * 71, 4), std::string("\x03M72", 4));
    EXPECT_TRUE(messages.Texts.empty());
}

TEST_F(WriteUstTest, ViewerTableTakesTheLiveSettings) {
    archive.WriteUst(SampleSettings());
    EXPECT_EQ(NameBytes(archive.UstBuf[0]), std::string(50, 'N'));
    EXPECT_EQ(NameBytes(archive.UstBuf[1]), "ABC");
    EXPECT_EQ(archive.UstBuf[71].T_Nom, 172.25);
    EXPECT_EQ(archive.UstBuf[71].T_Max, 272.0);
    EXPECT_EQ(archive.UstBuf[71].Moshn, -216);
}

TEST_F(WriteUstTest, SameSettingsGiveTheSameFileWhateverTheTableHeldBefore) {
    archive.WriteUst(SampleSettings());
    const std::string first = ReadFileBytes(File("06.12.2026UST.txt"));

    // A loaded snapshot whose unused name bytes and padding are junk.
    std::filesystem::copy_file(std::filesystem::path(REGISTRATOR_TEST_DATA) / "archive" / "06.12.2026UST.txt",
                               File("01.12.2026UST.txt"));
    archive.ReadUst("01.12.2026");
    ASSERT_EQ(archive.UstBuf[0].Padding1[0], 0xAA);

    archive.WriteUst(SampleSettings());
    EXPECT_EQ(ReadFileBytes(File("06.12.2026UST.txt")), first);
}

TEST_F(WriteUstTest, ReplacesALongerFileWholeAndLeavesNoTemporaryBehind) {
    WriteFileBytes(File("06.12.2026UST.txt"), std::string(8000, '\x77'));
    archive.WriteUst(SampleSettings());

    EXPECT_EQ(std::filesystem::file_size(File("06.12.2026UST.txt")), 5760u);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"06.12.2026UST.txt"});
}

#ifndef _WIN32
// A file-size limit in force, with SIGXFSZ ignored as the program ignores it: a write past the
// limit then fails like one on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*previous_)(int) = SIG_DFL;
};

// Any failed replace fell back to rewriting the snapshot in place, so a full disk emptied the old
// snapshot and left it short.
TEST_F(WriteUstTest, WritesThatCannotCompleteLeaveTheOldFilesUsable) {
    const std::string oldSnapshot(5760, '\x55');
    WriteFileBytes(File("06.12.2026UST.txt"), oldSnapshot);
    TArhivRec earlier;
    earlier.Tok[0] = 9;
    std::string readings;
    for (int i = 0; i < 7; ++i)
        readings += RecordBytes(earlier);
    WriteFileBytes(File("06.12.2026.txt"), readings);
    channels::ChannelData data;
    FillCurrentSlot(data, 0, 0.5);
    {
        const FileSizeLimit limit(4096);
        archive.WriteUst(SampleSettings());
        archive.WriteArhiv(data); // the eighth record would end past 4096
    }
    EXPECT_EQ(ReadFileBytes(File("06.12.2026UST.txt")), oldSnapshot);
    EXPECT_FALSE(std::filesystem::exists(File("06.12.2026UST.txt.tmp")));

    // The lost record leaves at most a tail that the next append overwrites.
    archive.WriteArhiv(data);
    const std::string bytes = ReadFileBytes(File("06.12.2026.txt"));
    ASSERT_EQ(bytes.size(), 8 * 584u);
    EXPECT_EQ(bytes.substr(0, 7 * 584), readings);
    EXPECT_EQ(DoubleAt(bytes, 7 * 584 + 8), 101.0);
    EXPECT_TRUE(messages.Texts.empty());
}
#endif

} // namespace
} // namespace registrator::archive::testing
