#include "monitor/ScanCycle.h"

#include "acquisition/PortFactory.h"
#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "monitor/ArchiveStatusLine.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace registrator::monitor {
namespace {

// A port whose status lines always read the same byte.
class SteadyPort final : public acquisition::PortAccess {
public:
    explicit SteadyPort(std::uint8_t status) : status_(status) {}
    bool IsReady() const override { return true; }
    std::uint8_t ReadRegister(std::uint8_t, std::uint8_t reg) override { return reg == 1 ? status_ : 0; }
    void WriteRegister(std::uint8_t, std::uint8_t, std::uint8_t) override {}
    std::uint32_t LastError() const override { return 0; }

private:
    std::uint8_t status_;
};

class HistoryTest : public ::testing::Test {
protected:
    HistoryTest() : archive(temp.Slash(), clock, messages) {
        for (int n = 1; n <= channels::kChannelCount; ++n)
            data.Ustavki[n] = channels::DefaultUstavka(n);
        data.CurDay = common::EncodeDate(2026, 12, 6);
    }

    std::uintmax_t SizeOf(const char* name) const {
        std::error_code error;
        const auto size = std::filesystem::file_size(folder / name, error);
        return error ? 0 : size;
    }

    support::TempFolder temp;
    const std::filesystem::path& folder = temp.Path();
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(23, 59, 58, 0)};
    support::RecordingMessages messages;
    channels::ChannelData data;
    archive::Archive archive;
};

TEST_F(HistoryTest, MidnightWritesTheNewDaysSnapshotOnce) {
    RunHistoryStep(archive, data, clock);
    EXPECT_EQ(SizeOf("06.12.2026.txt"), 584u);
    EXPECT_EQ(SizeOf("06.12.2026UST.txt"), 0u);

    clock.AdvanceMs(2500); // 00:00:00.500 of the 7th
    RunHistoryStep(archive, data, clock);
    EXPECT_EQ(data.CurDay, common::EncodeDate(2026, 12, 7));
    EXPECT_EQ(SizeOf("07.12.2026.txt"), 584u);
    EXPECT_EQ(SizeOf("07.12.2026UST.txt"), 5760u);
    EXPECT_EQ(SizeOf("06.12.2026.txt"), 584u);

    std::filesystem::remove(folder / "07.12.2026UST.txt");
    for (int i = 0; i < 3; ++i) {
        clock.AdvanceMs(1000);
        RunHistoryStep(archive, data, clock);
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "07.12.2026UST.txt"))
        << "written again after the day change";
    EXPECT_EQ(SizeOf("07.12.2026.txt"), 4u * 584u);
    EXPECT_EQ(data.TokIndex, 5);
}

// A snapshot that could not be written at midnight (a full disk) was never tried again: the day kept
// no record of its settings, and nothing said so.
TEST_F(HistoryTest, AMidnightSnapshotThatFailsIsTriedAtEachTickUntilWrittenAndTheStripSaysSo) {
    RunHistoryStep(archive, data, clock);
    std::filesystem::create_directory(folder / "07.12.2026UST.txt.tmp"); // no room for the new file
    clock.AdvanceMs(2500);
    RunHistoryStep(archive, data, clock);
    clock.AdvanceMs(1000);
    RunHistoryStep(archive, data, clock);
    EXPECT_FALSE(std::filesystem::exists(folder / "07.12.2026UST.txt"));
    const std::string warning = DescribeArchive(archive.Status(), archive.Snapshot(), "/st/Data").Warning;
    EXPECT_EQ(warning.rfind("снимок уставок за 07.12.2026 не записан: ", 0), 0u) << warning;

    data.Ustavki[4].T_Nom = 77; // changed meanwhile: the snapshot takes the settings in force
    std::filesystem::remove(folder / "07.12.2026UST.txt.tmp");
    clock.AdvanceMs(1000);
    RunHistoryStep(archive, data, clock);
    EXPECT_EQ(SizeOf("07.12.2026UST.txt"), 5760u);
    EXPECT_EQ(archive.UstBuf[3].T_Nom, 77);
    EXPECT_EQ(DescribeArchive(archive.Status(), archive.Snapshot(), "/st/Data").Warning, "");
    EXPECT_EQ(SizeOf("07.12.2026.txt"), 3u * 584u);
}

TEST_F(HistoryTest, SettingTheClockBackADayAlsoWritesASnapshot) {
    clock.Set(common::EncodeDate(2026, 12, 5) + common::EncodeTime(10, 0, 0, 0));
    RunHistoryStep(archive, data, clock);
    EXPECT_EQ(data.CurDay, common::EncodeDate(2026, 12, 5));
    EXPECT_EQ(SizeOf("05.12.2026UST.txt"), 5760u);
    EXPECT_EQ(SizeOf("05.12.2026.txt"), 584u);
}

TEST_F(HistoryTest, RingWrapsFrom2999ToZero) {
    data.TokIndex = 2998;
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        RunHistoryStep(archive, data, clock);
        seen.push_back(data.TokIndex);
    }
    EXPECT_EQ(seen, (std::vector<int>{2999, 0, 1}));
}

TEST_F(HistoryTest, ScanCycleFillsTheCurrentSlotInAmperes) {
    SteadyPort port(0x78); // every converter reads 1023
    acquisition::ScanProtocol protocol(port);
    data.AvgCount = 3;
    data.TokIndex = 17;
    data.Ustavki[9].Koof_K = 0.25;
    data.Ustavki[9].Koof_B = 0;
    data.Ustavki[10].Koof_K = -1;
    bool reset = false;
    EXPECT_TRUE(RunScanCycle(protocol, data, clock, messages, [&] { reset = true; }));
    EXPECT_EQ(data.TokHistory.CheckedRead(1, 17).Value, 1023.0 * 50 - 1);
    EXPECT_EQ(data.TokHistory.CheckedRead(9, 17).Value, 256); // 255.75 rounds up
    EXPECT_EQ(data.TokHistory.CheckedRead(10, 17).Value, 0);
    EXPECT_NEAR(data.TokHistory.CheckedRead(1, 17).Time, common::EncodeTime(23, 59, 58, 0), 1e-9);
    EXPECT_FALSE(reset);
    EXPECT_TRUE(messages.Texts.empty());
}

TEST_F(HistoryTest, ZeroScanCountRecoversAndLeavesTheSlotAlone) {
    SteadyPort port(0x78);
    acquisition::ScanProtocol protocol(port);
    data.AvgCount = 0;
    data.Current(1) = {123, 0.25};
    int resets = 0;
    EXPECT_FALSE(RunScanCycle(protocol, data, clock, messages, [&] { ++resets; }));
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(data.AvgCount, 5);
    EXPECT_EQ(messages.Texts, std::vector<std::string>{"Ошибка деление на ноль: "});
    EXPECT_EQ(data.Current(1).Value, 123);
    EXPECT_EQ(data.Current(1).Time, 0.25);

    EXPECT_TRUE(RunScanCycle(protocol, data, clock, messages, [&] { ++resets; }));
    EXPECT_EQ(data.Current(1).Value, 1023.0 * 50 - 1);
    EXPECT_EQ(messages.Texts.size(), 1u);
}

TEST_F(HistoryTest, SimulatedPlantRunsThroughTheScanCycleIntoTheArchive) {
    acquisition::PortOptions options;
    options.Simulate = true;
    auto port = acquisition::MakePort(options, data.Ustavki, clock);
    ASSERT_TRUE(port->IsReady());
    acquisition::ScanProtocol protocol(*port);
    data.AvgCount = 5;
    clock.Set(common::EncodeDate(2026, 12, 6) + common::EncodeTime(10, 0, 0, 0));
    std::vector<double> archived;
    for (int second = 0; second < 30; ++second) {
        for (int tick = 0; tick < 10; ++tick) {
            clock.AdvanceMs(100);
            ASSERT_TRUE(RunScanCycle(protocol, data, clock, messages, {}));
        }
        archived.push_back(data.Current(5).Value);
        RunHistoryStep(archive, data, clock);
    }
    archive.ReadArhiv("06.12.2026");
    ASSERT_EQ(archive.ArhivCount, 30u);
    for (std::size_t k = 0; k < archived.size(); ++k)
        EXPECT_EQ(archive.ArhivBuf[k].Tok[4], archived[k]) << k;
    int running = 0;
    for (int n = 1; n <= channels::kChannelCount; ++n)
        running += archive.ArhivBuf[29].Tok[n - 1] > 0 ? 1 : 0;
    EXPECT_GT(running, 10) << "a plant with most motors standing still";
    EXPECT_NEAR(archive.ArhivBuf[29].Time, common::EncodeTime(10, 0, 30, 0), 1e-9);
    EXPECT_TRUE(messages.Texts.empty());
}

} // namespace
} // namespace registrator::monitor
