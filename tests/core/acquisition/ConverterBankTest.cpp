#include "acquisition/ConverterBank.h"

#include "acquisition/ScanProtocol.h"
#include "acquisition/SimulatedPort.h"

#include <gtest/gtest.h>

namespace registrator::acquisition {
namespace {

// Converters that measure whatever the test sets.
class FixedInputs final : public ConverterInputs {
public:
    void SampleCounts(ConverterCounts& counts) override {
        counts = Counts;
        ++Samples;
    }
    ConverterCounts Counts{};
    int Samples = 0;
};

ConverterCounts Fill(std::uint16_t value) {
    ConverterCounts counts;
    counts.fill(value);
    return counts;
}

ConverterCounts Mixed() {
    ConverterCounts counts;
    for (std::size_t i = 0; i < counts.size(); ++i)
        counts[i] = static_cast<std::uint16_t>((i * 337 + 91) % 1024);
    counts[0] = 0x2AA;
    counts[1] = 0x155;
    counts[71] = 1023;
    counts[70] = 1;
    counts[69] = 512;
    return counts;
}

std::array<std::int32_t, kConverterCount> AsResult(const ConverterCounts& counts) {
    std::array<std::int32_t, kConverterCount> result{};
    std::copy(counts.begin(), counts.end(), result.begin());
    return result;
}

// The start-up sequence as far as the converters are concerned.
struct Rig {
    FixedInputs inputs;
    SimulatedPort port{inputs};
    ScanProtocol protocol{port};

    Rig() {
        protocol.ResetState();
        protocol.WritePpiMode(kPpiModeWord);
    }
};

TEST(ConverterBank, AScanReadsExactlyTheLatchedCounts) {
    for (const ConverterCounts& counts : {Fill(0), Fill(1023), Mixed(), Fill(0x2AA)}) {
        Rig rig;
        rig.inputs.Counts = counts;
        rig.protocol.ScanConverters();
        EXPECT_EQ(AsResult(counts), rig.protocol.ScanResult);
        EXPECT_EQ(1, rig.inputs.Samples);
    }
}

TEST(ConverterBank, LaterScansAndModeRewritesKeepReadingCorrectly) {
    Rig rig;
    for (int tick = 0; tick < 4; ++tick) {
        ConverterCounts counts = Mixed();
        for (auto& c : counts)
            c = static_cast<std::uint16_t>((c + 100 * tick) % 1024);
        rig.inputs.Counts = counts;
        if (tick % 2 == 1)
            rig.protocol.WritePpiMode(kPpiModeWord);
        rig.protocol.ScanConverters();
        EXPECT_EQ(AsResult(counts), rig.protocol.ScanResult) << "tick " << tick;
    }
    EXPECT_EQ(4, rig.inputs.Samples);
}

TEST(ConverterBank, ConvertersHoldWhatTheyLatchedAtTheStartPulse) {
    Rig rig;
    rig.inputs.Counts = Mixed();
    rig.protocol.WritePpiPort(PpiPort::B, 0x20);
    rig.protocol.WritePpiPort(PpiPort::B, 0x00);
    rig.inputs.Counts = Fill(0); // the plant moves on; the shift registers do not
    std::array<std::int32_t, kConverterCount> read{};
    for (int pass = 0; pass < 10; ++pass) {
        for (int group = 0; group < kGroupCount; ++group) {
            const std::uint8_t bits = rig.protocol.ReadGroup(group);
            for (int j = 0; j < 8; ++j)
                read[static_cast<std::size_t>(8 * group + j)] = read[8 * group + j] * 2 + ((bits >> j) & 1);
        }
        rig.protocol.WritePpiPort(PpiPort::B, 0x80);
        rig.protocol.WritePpiPort(PpiPort::B, 0x00);
    }
    EXPECT_EQ(AsResult(Mixed()), read);
}

TEST(ConverterBank, StatusShowsTheSelectedNibbleOnlyWhileAGroupIsStrobed) {
    Rig rig;
    const SimulatedPort& port = rig.port;
    // The mode word cleared port A, so its read strobe is active and group 0 drives the bus; the
    // converters have not been started, so their outputs are low.
    EXPECT_EQ(0x07, rig.port.ReadRegister(kPort2, kStatusRegister));
    // Nothing strobed: the bus floats high, status bits 0..2 read high too.
    rig.protocol.WritePpiPort(PpiPort::A, 0x02);
    EXPECT_EQ(0x7F, rig.port.ReadRegister(kPort2, kStatusRegister));
    EXPECT_EQ(0xFF, port.Bank().Bus());
    // Other ports and registers are an empty bus; writes there reach nothing.
    rig.port.WriteRegister(kPort1, kDataRegister, 0x12);
    EXPECT_EQ(0xFF, rig.port.ReadRegister(kPort1, kDataRegister));
    EXPECT_EQ(0xFF, rig.port.ReadRegister(kPort2, 3));
    EXPECT_TRUE(rig.port.IsReady());
    EXPECT_FALSE(rig.port.SimulationNote().empty());
}

TEST(ConverterBank, TheModeWordArrivesThroughTheDataLinePermutation) {
    Rig rig;
    EXPECT_EQ(0x80, rig.port.Bank().ModeWord());
    EXPECT_EQ(0x00, rig.port.Bank().PortPins(PpiPort::B));
    rig.protocol.WritePpiMode(0x89); // port C as input
    EXPECT_EQ(0x89, rig.port.Bank().ModeWord());
    EXPECT_EQ(0xFF, rig.port.Bank().PortPins(PpiPort::C));
    EXPECT_EQ(0x00, rig.port.Bank().PortPins(PpiPort::A));

    // The same word on the data lines unpermuted means another word to the 8255.
    rig.port.WriteRegister(kPort2, kDataRegister, 0x89);
    rig.protocol.WriteControlLines(14);
    rig.protocol.WriteControlLines(12);
    rig.protocol.WriteControlLines(14);
    EXPECT_NE(0x89, rig.port.Bank().ModeWord());
}

// A port that garbles the control register on the way, as wrong wiring or code would.
class GarblingPort final : public PortAccess {
public:
    GarblingPort(PortAccess& inner, std::uint8_t controlXor) : inner_(inner), xor_(controlXor) {}
    bool IsReady() const override { return true; }
    std::uint8_t ReadRegister(std::uint8_t port, std::uint8_t reg) override {
        return inner_.ReadRegister(port, reg);
    }
    void WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) override {
        inner_.WriteRegister(port, reg, reg == kControlRegister ? value ^ xor_ : value);
    }
    std::uint32_t LastError() const override { return 0; }

private:
    PortAccess& inner_;
    std::uint8_t xor_;
};

TEST(ConverterBankCatchesFaults, SwappedNibbleSelect) {
    FixedInputs inputs;
    inputs.Counts = Mixed();
    SimulatedPort bank(inputs);
    GarblingPort swapped(bank, 0x01);
    ScanProtocol protocol(swapped);
    protocol.WritePpiMode(kPpiModeWord);
    protocol.ScanConverters();
    EXPECT_NE(AsResult(inputs.Counts), protocol.ScanResult);
    // Channel 1 sees channel 5's bits and the other way round.
    EXPECT_EQ(inputs.Counts[4], protocol.ScanResult[0]);
    EXPECT_EQ(inputs.Counts[0], protocol.ScanResult[4]);
}

TEST(ConverterBankCatchesFaults, ControlLinesWrittenWithoutThePortInversion) {
    FixedInputs inputs;
    inputs.Counts = Mixed();
    SimulatedPort bank(inputs);
    GarblingPort uninverted(bank, 0x0B);
    ScanProtocol protocol(uninverted);
    protocol.WritePpiMode(kPpiModeWord);
    protocol.ScanConverters();
    EXPECT_NE(AsResult(inputs.Counts), protocol.ScanResult);
}

TEST(ConverterBankCatchesFaults, MissingShiftClock) {
    Rig rig;
    rig.inputs.Counts = Mixed();
    rig.protocol.WritePpiPort(PpiPort::B, 0x20);
    rig.protocol.WritePpiPort(PpiPort::B, 0x00);
    std::array<std::int32_t, kConverterCount> read{};
    for (int pass = 0; pass < 10; ++pass) {
        for (int group = 0; group < kGroupCount; ++group) {
            const std::uint8_t bits = rig.protocol.ReadGroup(group);
            for (int j = 0; j < 8; ++j)
                read[static_cast<std::size_t>(8 * group + j)] = read[8 * group + j] * 2 + ((bits >> j) & 1);
        }
    }
    // Every pass reads the most significant bit again.
    for (std::size_t i = 0; i < read.size(); ++i)
        EXPECT_EQ(rig.inputs.Counts[i] >= 512 ? 1023 : 0, read[i]) << "channel " << i + 1;
}

TEST(ConverterBankCatchesFaults, StartPulseStrobedIntoTheWrongPort) {
    Rig rig;
    rig.inputs.Counts = Mixed();
    rig.protocol.ScanConverters();
    // A scan whose start pulse went to port C: the converters never latch the new counts.
    rig.inputs.Counts = Fill(700);
    rig.protocol.WritePpiPort(PpiPort::C, 0x20);
    rig.protocol.WritePpiPort(PpiPort::C, 0x00);
    for (int pass = 0; pass < 10; ++pass) {
        for (int group = 0; group < kGroupCount; ++group)
            EXPECT_EQ(0, rig.protocol.ReadGroup(group)) << "a shifted-out converter stays low";
        rig.protocol.WritePpiPort(PpiPort::B, 0x80);
        rig.protocol.WritePpiPort(PpiPort::B, 0x00);
    }
    EXPECT_EQ(1, rig.inputs.Samples);
}

TEST(ConverterBankCatchesFaults, NoModeWordLeavesThePortsFloating) {
    FixedInputs inputs;
    inputs.Counts = Mixed();
    SimulatedPort bank(inputs);
    ScanProtocol protocol(bank);
    protocol.ScanConverters();
    EXPECT_EQ(0, inputs.Samples);
    for (const std::int32_t value : protocol.ScanResult)
        EXPECT_EQ(1023, value);
}

} // namespace
} // namespace registrator::acquisition
