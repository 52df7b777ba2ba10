#include "acquisition/ScanProtocol.h"

#include "support/RecordingPort.h"

#include <gtest/gtest.h>
#include <set>

namespace registrator::acquisition {
namespace {

using support::RecordingPort;

TEST(PermuteDataLines, SpreadsLowBitsToEvenLinesAndHighBitsToOddLines) {
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {
        {0x80, 0x80}, {0x01, 0x01}, {0x02, 0x04}, {0x10, 0x02}, {0x0F, 0x55}, {0xF0, 0xAA},
        {0x04, 0x10}, {0x08, 0x40}, {0x20, 0x08}, {0x40, 0x20}, {0x00, 0x00}, {0xFF, 0xFF},
    };
    for (const auto& [word, lines] : cases)
        EXPECT_EQ(lines, ScanProtocol::PermuteDataLines(word)) << "word " << int(word);

    std::set<int> images;
    for (int word = 0; word < 256; ++word)
        images.insert(ScanProtocol::PermuteDataLines(static_cast<std::uint8_t>(word)));
    EXPECT_EQ(256u, images.size()) << "two words share one wiring";
}

TEST(WriteControlLines, InvertsBitsZeroOneAndThree) {
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {{14, 5}, {12, 7}, {2, 9},  {0, 11},
                                                           {3, 8},  {10, 1}, {6, 13}, {4, 15}};
    for (const auto& [connector, reg] : cases) {
        RecordingPort port;
        ScanProtocol protocol(port);
        protocol.WriteControlLines(connector);
        ASSERT_EQ(1u, port.Log.size());
        EXPECT_EQ(kPort2, port.Log[0].Port);
        EXPECT_EQ(kControlRegister, port.Log[0].Reg);
        EXPECT_EQ(reg, port.Log[0].Value) << "connector " << int(connector);
    }
}

TEST(WritePpiMode, WritesThePermutedWordUnderTheModeStrobeWithoutNibbleSelect) {
    RecordingPort port;
    ScanProtocol protocol(port);
    protocol.NibbleSelect = 1;
    protocol.LastPortControl = 6;
    protocol.WritePpiMode(kPpiModeWord);
    EXPECT_EQ("D80 C05 C07 C05", port.Trace());
    EXPECT_EQ(1, protocol.NibbleSelect);
    EXPECT_EQ(6, protocol.LastPortControl);

    port.Log.clear();
    protocol.WritePpiMode(0x0F);
    EXPECT_EQ("D55 C05 C07 C05", port.Trace());
}

TEST(ReadStatusNibble, TakesStatusBitsThreeToSix) {
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {{0xFF, 15}, {0x78, 15}, {0x87, 0}, {0x08, 1},
                                                           {0x10, 2},  {0x20, 4},  {0x40, 8}, {0x00, 0}};
    for (const auto& [status, nibble] : cases) {
        RecordingPort port;
        port.Status = [status = status](std::uint8_t) { return status; };
        ScanProtocol protocol(port);
        EXPECT_EQ(nibble, protocol.ReadStatusNibble()) << "status " << int(status);
        ASSERT_EQ(1u, port.Log.size());
        EXPECT_EQ(kStatusRegister, port.Log[0].Reg);
    }
}

TEST(WritePpiPort, IsOneStrobePulseOnTheAddressOfThePort) {
    RecordingPort port;
    ScanProtocol protocol(port);
    protocol.WritePpiPort(PpiPort::A, 0x12);
    protocol.WritePpiPort(PpiPort::B, 0x34);
    protocol.WritePpiPort(PpiPort::C, 0x56);
    EXPECT_EQ("D12 C09 C0B C09 D34 C0D C0F C0D D56 C01 C03 C01", port.Trace());
    EXPECT_EQ(10, protocol.LastPortControl);

    port.Log.clear();
    protocol.NibbleSelect = 1;
    protocol.WritePpiPort(PpiPort::B, 0x80);
    EXPECT_EQ("D80 C0C C0E C0C", port.Trace());
}

TEST(ReadGroup, FirstGroupAfterStartUpMatchesTheWiring) {
    RecordingPort port;
    ScanProtocol protocol(port);
    protocol.ResetState();
    protocol.ReadGroup(0);
    const std::string expected = "D80 C09 C0B C09 " // select idle
                                 "D00 C09 C0B C09 " // select active
                                 "C09 "             // nibble select low
                                 "D02 C09 C0B C09 " // read strobe idle
                                 "D00 C09 C0B C09 " // read strobe active
                                 "S "               // low nibble
                                 "C08 "             // nibble select high
                                 "S "               // high nibble
                                 "D02 C08 C0A C08 " // read strobe idle
                                 "D82 C08 C0A C08"; // select idle
    EXPECT_EQ(expected, port.Trace());
    EXPECT_EQ(28u, port.Log.size());
    EXPECT_EQ(1, protocol.NibbleSelect);
    EXPECT_EQ(2, protocol.PortAStrobe);
    EXPECT_EQ(0x80, protocol.PortASelect);
}

TEST(ReadGroup, CombinesTheNibblesHighOverLow) {
    RecordingPort port;
    // Nibble 0x5 while the select line is low, 0xA while it is high.
    port.Status = [](std::uint8_t control) -> std::uint8_t {
        const bool high = (control ^ 0x0B) & 1;
        return static_cast<std::uint8_t>((high ? 0xA : 0x5) << 3);
    };
    ScanProtocol protocol(port);
    for (int group = 0; group < kGroupCount; ++group) {
        EXPECT_EQ(0xA5, protocol.ReadGroup(group)) << "group " << group;
        EXPECT_EQ(0x5, protocol.LowNibble);
        EXPECT_EQ(0xA, protocol.HighNibble);
    }

    protocol.ScanConverters();
    for (int i = 0; i < kConverterCount; ++i) {
        const int place = i % 8 + 1; // channels 8g+1, 8g+3, 8g+6, 8g+8 see ones
        const bool one = place == 1 || place == 3 || place == 6 || place == 8;
        EXPECT_EQ(one ? 1023 : 0, protocol.ScanResult[static_cast<std::size_t>(i)]) << "channel " << i + 1;
    }
}

TEST(ReadGroup, LeavesSelectAndStrobePartsForTheFollowingGroups) {
    RecordingPort port;
    ScanProtocol protocol(port);
    protocol.ResetState();
    for (int group = 0; group < 3; ++group)
        protocol.ReadGroup(group);
    EXPECT_EQ(0x88, protocol.PortASelect);

    std::size_t from = port.Log.size();
    protocol.ReadGroup(3);
    // Read strobe of groups 3..5 on port A, with group 2's select part still there.
    EXPECT_EQ("D9A C09 C0B C09 D98 C09 C0B C09", port.Trace(from + 9, 8));
    EXPECT_EQ("D80 C00 C02 C00 D00 C00 C02 C00 C01", port.Trace(from, 9));

    protocol.ReadGroup(4);
    protocol.ReadGroup(5);
    from = port.Log.size();
    protocol.ReadGroup(6);
    EXPECT_EQ("D02 C00 C02 C00 D00 C00 C02 C00 C01", port.Trace(from, 9));
    EXPECT_EQ("DCA C09 C0B C09 DC8 C09 C0B C09", port.Trace(from + 9, 8));
}

TEST(ScanConverters, FirstAndLaterScansOpenAsTheProtocolState) {
    RecordingPort port;
    ScanProtocol protocol(port);
    protocol.ResetState();
    protocol.ScanConverters();
    // Start pulse with the nibble select still low, then group 0 as after start-up.
    EXPECT_EQ("D20 C0D C0F C0D D00 C0D C0F C0D D80", port.Trace(0, 9));
    std::string portA;
    for (std::size_t i = 8; i < 8 + 28; ++i)
        if (port.Log[i].Write && port.Log[i].Reg == kDataRegister)
            portA += port.Trace(i, 1) + " ";
    EXPECT_EQ("D80 D00 D02 D00 D02 D82 ", portA);

    const std::size_t first = port.Log.size();
    EXPECT_EQ(2648u, first);
    protocol.ScanConverters();
    EXPECT_EQ("D20 C0C C0E C0C D00 C0C C0E C0C DC2 C08 C0A C08 D42 C08 C0A C08", port.Trace(first, 16));
    EXPECT_EQ(2648u, port.Log.size() - first);
}

TEST(ScanConverters, EveryBitPassEndsWithAShiftClockOnPortB) {
    RecordingPort port;
    ScanProtocol protocol(port);
    protocol.ScanConverters();
    int statusReads = 0;
    int clocks = 0;
    for (std::size_t i = 0; i < port.Log.size(); ++i) {
        const auto& r = port.Log[i];
        EXPECT_EQ(kPort2, r.Port);
        statusReads += r.Write ? 0 : 1;
        if (r.Write && r.Reg == kDataRegister && r.Value == 0x80 && port.Trace(i + 1, 3) == "C0C C0E C0C")
            ++clocks;
    }
    EXPECT_EQ(180, statusReads);
    EXPECT_EQ(10, clocks);
    EXPECT_EQ("D00 C0C C0E C0C D80 C0C C0E C0C D00 C0C C0E C0C", port.Trace(port.Log.size() - 12));
}

TEST(ScanConverters, StatusLinesAllHighOrAllLowGiveFullScaleOrZero) {
    for (const auto& [status, expected] : {std::pair{0x78, 1023}, std::pair{0x00, 0}, std::pair{0x87, 0}}) {
        RecordingPort port;
        port.Status = [status = status](std::uint8_t) { return static_cast<std::uint8_t>(status); };
        ScanProtocol protocol(port);
        protocol.ScanResult.fill(77);
        protocol.ScanConverters();
        for (const std::int32_t value : protocol.ScanResult)
            ASSERT_EQ(expected, value) << "status " << status;
    }
}

TEST(ScanConverters, FirstBitReadIsTheMostSignificant) {
    RecordingPort port;
    int reads = 0;
    // Bit 0 of the low nibble (channel 8g+1) is high only in the first of the ten bit passes.
    port.Status = [&reads](std::uint8_t control) -> std::uint8_t {
        const int pass = reads++ / (2 * kGroupCount);
        const bool high = (control ^ 0x0B) & 1;
        return pass == 0 && !high ? 0x08 : 0x00;
    };
    ScanProtocol protocol(port);
    protocol.ScanConverters();
    EXPECT_EQ(512, protocol.ScanResult[0]);
    EXPECT_EQ(512, protocol.ScanResult[8]);
    EXPECT_EQ(0, protocol.ScanResult[4]);
}

TEST(ResetState, ZeroesTheFiveLineValuesOnly) {
    RecordingPort port;
    ScanProtocol protocol(port);
    protocol.ScanConverters();
    protocol.ScanResult[0] = 5;
    protocol.ResetState();
    EXPECT_EQ(0, protocol.NibbleSelect);
    EXPECT_EQ(0, protocol.LastPortControl);
    EXPECT_EQ(0, protocol.PortAStrobe);
    EXPECT_EQ(0, protocol.PortASelect);
    EXPECT_EQ(0, protocol.PortCSelect);
    EXPECT_EQ(5, protocol.ScanResult[0]);
}

} // namespace
} // namespace registrator::acquisition
