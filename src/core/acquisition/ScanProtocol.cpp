#include "acquisition/ScanProtocol.h"

namespace registrator::acquisition {

namespace {

// Connector levels of the four control lines for an 8255 register: strobe high, then low.
struct StrobeLevels {
    std::int32_t Idle;
    std::int32_t Active;
};
constexpr StrobeLevels kPortAStrobe{2, 0};
constexpr StrobeLevels kPortBStrobe{6, 4};
constexpr StrobeLevels kPortCStrobe{10, 8};
constexpr std::int32_t kModeIdle = 14;
constexpr std::int32_t kModeActive = 12;

// The port inverts control bits 0, 1 and 3 between the register and the connector.
constexpr std::uint8_t kControlInversion = 0x0B;

constexpr std::uint8_t kStartPulse = 0x20;
constexpr std::uint8_t kShiftClock = 0x80;
constexpr int kBitsPerConverter = 10;

// How each group of eight converters is put on the status lines: a select register (port A for
// groups 0 to 2, port C for the rest) and a read strobe with its bank bits on port A.
struct GroupLines {
    bool SelectOnPortA;
    std::int32_t SelectIdle;
    std::int32_t SelectActive;
    std::int32_t ReadStrobeIdle;
    std::int32_t ReadStrobeActive;
};
constexpr std::array<GroupLines, kGroupCount> kGroups = {{
    {true, 0x80, 0x00, 0x02, 0x00},
    {true, 0xA0, 0x20, 0x02, 0x00},
    {true, 0x88, 0x08, 0x02, 0x00},
    {false, 0x80, 0x00, 0x12, 0x10},
    {false, 0xA0, 0x20, 0x12, 0x10},
    {false, 0x88, 0x08, 0x12, 0x10},
    {false, 0x02, 0x00, 0x42, 0x40},
    {false, 0x03, 0x01, 0x42, 0x40},
    {false, 0x06, 0x04, 0x42, 0x40},
}};

constexpr StrobeLevels StrobeOf(PpiPort port) {
    switch (port) {
    case PpiPort::A:
        return kPortAStrobe;
    case PpiPort::B:
        return kPortBStrobe;
    case PpiPort::C:
        break;
    }
    return kPortCStrobe;
}

constexpr std::uint8_t Byte(std::int32_t value) {
    return static_cast<std::uint8_t>(value);
}

} // namespace

void ScanProtocol::ResetState() {
    NibbleSelect = 0;
    LastPortControl = 0;
    PortAStrobe = 0;
    PortASelect = 0;
    PortCSelect = 0;
}

std::uint8_t ScanProtocol::PermuteDataLines(std::uint8_t word) {
    // Word bits 0..3 drive data lines 0, 2, 4, 6; bits 4..7 drive lines 1, 3, 5, 7.
    std::uint8_t lines = 0;
    for (int bit = 0; bit < 4; ++bit) {
        lines |= static_cast<std::uint8_t>(((word >> bit) & 1) << (2 * bit));
        lines |= static_cast<std::uint8_t>(((word >> (bit + 4)) & 1) << (2 * bit + 1));
    }
    return lines;
}

void ScanProtocol::WriteControlLines(std::uint8_t connectorLevel) {
    port_.WriteRegister(kPort2, kControlRegister, connectorLevel ^ kControlInversion);
}

void ScanProtocol::WritePpiMode(std::uint8_t word) {
    port_.WriteRegister(kPort2, kDataRegister, PermuteDataLines(word));
    // The nibble select is left out here: the line is low after a mode write.
    WriteControlLines(kModeIdle);
    WriteControlLines(kModeActive);
    WriteControlLines(kModeIdle);
}

std::uint8_t ScanProtocol::ReadStatusNibble() {
    return static_cast<std::uint8_t>((port_.ReadRegister(kPort2, kStatusRegister) >> 3) & 0x0F);
}

void ScanProtocol::WritePpiPort(PpiPort port, std::uint8_t value) {
    const StrobeLevels strobe = StrobeOf(port);
    port_.WriteRegister(kPort2, kDataRegister, value);
    LastPortControl = strobe.Idle;
    WriteControlLines(Byte(NibbleSelect + LastPortControl));
    LastPortControl = strobe.Active;
    WriteControlLines(Byte(NibbleSelect + LastPortControl));
    LastPortControl = strobe.Idle;
    WriteControlLines(Byte(NibbleSelect + LastPortControl));
}

std::uint8_t ScanProtocol::ReadGroup(int group) {
    const GroupLines& lines = kGroups.at(static_cast<std::size_t>(group));
    std::int32_t& select = lines.SelectOnPortA ? PortASelect : PortCSelect;
    const auto writeSelect = [&] {
        if (lines.SelectOnPortA)
            WritePpiPort(PpiPort::A, Byte(PortAStrobe + PortASelect));
        else
            WritePpiPort(PpiPort::C, Byte(PortCSelect));
    };

    select = lines.SelectIdle;
    writeSelect();
    select = lines.SelectActive;
    writeSelect();
    NibbleSelect = 0;
    WriteControlLines(Byte(NibbleSelect + LastPortControl));
    PortAStrobe = lines.ReadStrobeIdle;
    WritePpiPort(PpiPort::A, Byte(PortAStrobe + PortASelect));
    PortAStrobe = lines.ReadStrobeActive;
    WritePpiPort(PpiPort::A, Byte(PortAStrobe + PortASelect));
    LowNibble = ReadStatusNibble();
    NibbleSelect = 1;
    WriteControlLines(Byte(NibbleSelect + LastPortControl));
    HighNibble = ReadStatusNibble();
    PortAStrobe = lines.ReadStrobeIdle;
    WritePpiPort(PpiPort::A, Byte(PortAStrobe + PortASelect));
    select = lines.SelectIdle;
    writeSelect();
    return static_cast<std::uint8_t>(HighNibble * 16 + LowNibble);
}

void ScanProtocol::ScanConverters() {
    WritePpiPort(PpiPort::B, kStartPulse);
    WritePpiPort(PpiPort::B, 0x00);
    ScanResult.fill(0);
    for (int pass = 0; pass < kBitsPerConverter; ++pass) {
        for (int group = 0; group < kGroupCount; ++group) {
            const std::uint8_t bits = ReadGroup(group);
            for (int j = 0; j < 8; ++j) {
                std::int32_t& result = ScanResult[static_cast<std::size_t>(8 * group + j)];
                result = result * 2 + ((bits >> j) & 1);
            }
        }
        WritePpiPort(PpiPort::B, 0x00);
        WritePpiPort(PpiPort::B, kShiftClock);
        WritePpiPort(PpiPort::B, 0x00);
    }
}

} // namespace registrator::acquisition
