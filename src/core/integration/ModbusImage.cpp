#include "integration/ModbusImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace registrator::integration {

namespace map = modbus_map;

namespace {

constexpr int kChannels = channels::kChannelCount;

struct Block {
    int Start;
    int Count;
};

constexpr std::array<Block, 5> kRegisterBlocks{{{map::kCurrents, kChannels},
                                                {map::kRawCounts, kChannels},
                                                {map::kStates, kChannels},
                                                {map::kFloatCurrents, 2 * kChannels},
                                                {map::kStatus, map::kStatusCount}}};
constexpr std::array<Block, 3> kBitBlocks{
    {{map::kAboveCritical, kChannels}, {map::kAboveNominal, kChannels}, {map::kRunning, kChannels}}};

template <std::size_t N> bool InsideOne(const std::array<Block, N>& blocks, int address, int count) {
    return std::any_of(blocks.begin(), blocks.end(), [&](const Block& block) {
        return address >= block.Start && address + count <= block.Start + block.Count;
    });
}

// As the current label shows it: whole amperes, halves to even, never below 0.
std::uint16_t WholeAmperes(double value) {
    const double whole = std::nearbyint(value);
    if (!(whole > 0))
        return 0;
    return whole >= 65535 ? 65535 : static_cast<std::uint16_t>(whole);
}

void Put32(std::vector<std::uint16_t>& registers, int at, std::uint32_t value, WordOrder order) {
    const auto high = static_cast<std::uint16_t>(value >> 16);
    const auto low = static_cast<std::uint16_t>(value & 0xFFFF);
    registers[static_cast<std::size_t>(at)] = order == WordOrder::HighFirst ? high : low;
    registers[static_cast<std::size_t>(at + 1)] = order == WordOrder::HighFirst ? low : high;
}

} // namespace

int CheckModbusRequest(int function, int address, int count) {
    // The quantity limits of the protocol come first, as a Modbus server checks them.
    switch (function) {
    case 1:
    case 2:
        if (count < 1 || count > 2000)
            return map::kIllegalValue;
        return function == 2 && InsideOne(kBitBlocks, address, count) ? 0 : map::kIllegalAddress;
    case 3:
    case 4:
        if (count < 1 || count > 125)
            return map::kIllegalValue;
        return InsideOne(kRegisterBlocks, address, count) ? 0 : map::kIllegalAddress;
    default:
        return map::kIllegalFunction;
    }
}

ModbusImage::ModbusImage() : registers_(map::kRegisterEnd), bits_(map::kBitEnd) {}

void ModbusImage::Update(const channels::ChannelData& data, const monitor::ShownPanelStates& states,
                         const RecorderStatus& status, WordOrder order) {
    for (int n = 1; n <= kChannels; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        const double current = data.Current(n).Value;
        const auto code = static_cast<std::uint16_t>(states.Code(n));

        registers_[map::kCurrents + i] = WholeAmperes(current);
        const double raw = data.RawCounts[i];
        registers_[map::kRawCounts + i] = raw > 0 ? static_cast<std::uint16_t>(std::min(raw, 65535.0)) : 0;
        registers_[map::kStates + i] = code;
        const auto single = static_cast<float>(current);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &single, sizeof bits);
        Put32(registers_, map::kFloatCurrents + 2 * static_cast<int>(i), bits, order);

        // A motor above critical is above nominal too, and running.
        bits_[map::kAboveCritical + i] = code >= 3;
        bits_[map::kAboveNominal + i] = code >= 2;
        bits_[map::kRunning + i] = code >= 1;
    }
    Put32(registers_, map::kStatus, status.RecordsToday, order);
    Put32(registers_, map::kStatus + 2, status.LastRecordUnix, order);
    Put32(registers_, map::kStatus + 4, status.ScanCycles, order);
    registers_[map::kStatus + 6] = status.PortState;
    registers_[map::kStatus + 7] = status.AppendsFailing ? 1 : 0;
    registers_[map::kStatus + 8] = status.AvgCount;
    registers_[map::kStatus + 9] = status.FastMs;
    registers_[map::kStatus + 10] = status.SlowMs;
    registers_[map::kStatus + 11] = status.Messages;
    registers_[map::kStatus + 12] = status.Broker;
    Put32(registers_, map::kStatus + 13, status.BrokerWaiting, order);
    registers_[map::kStatus + 15] = status.ActiveAlarms;
    registers_[map::kStatus + 16] = status.UnacknowledgedAlarms;
}

} // namespace registrator::integration
