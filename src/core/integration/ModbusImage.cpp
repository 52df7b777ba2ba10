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

template <class Registers> void Put32(Registers& registers, int at, std::uint32_t value, WordOrder order) {
    const auto high = static_cast<std::uint16_t>(value >> 16);
    const auto low = static_cast<std::uint16_t>(value & 0xFFFF);
    registers[static_cast<std::size_t>(at)] = order == WordOrder::HighFirst ? high : low;
    registers[static_cast<std::size_t>(at + 1)] = order == WordOrder::HighFirst ? low : high;
}

std::uint16_t Clamped16(std::uint64_t value) {
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(value, 65535));
}

std::uint16_t Clamped16(int value) {
    return Clamped16(static_cast<std::uint64_t>(std::max(value, 0)));
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

std::array<std::uint16_t, map::kStatusCount> StatusRegisters(const StationStatus& status, WordOrder order) {
    std::array<std::uint16_t, map::kStatusCount> block{};
    Put32(block, 0, static_cast<std::uint32_t>(status.RecordsToday), order);
    Put32(block, 2, status.LastRecordUnix, order);
    Put32(block, 4, status.ScanCycles, order);
    block[6] = static_cast<std::uint16_t>(status.Port);
    block[7] = status.FailedAppends != 0 ? 1 : 0;
    block[8] = Clamped16(status.AvgCount);
    block[9] = Clamped16(status.FastMs);
    block[10] = Clamped16(status.SlowMs);
    block[11] = Clamped16(status.Messages);
    // 0 no MQTT asked for, 1 connected, 2 not connected.
    block[12] = !status.Broker ? 0 : status.Broker->Connected ? 1 : 2;
    const std::uint64_t waiting = status.Broker ? status.Broker->Waiting : 0;
    Put32(block, 13, static_cast<std::uint32_t>(std::min<std::uint64_t>(waiting, 0xFFFFFFFFu)), order);
    block[15] = Clamped16(status.ActiveAlarms);
    block[16] = Clamped16(status.UnacknowledgedAlarms);
    return block;
}

ModbusImage::ModbusImage() : registers_(map::kRegisterEnd), bits_(map::kBitEnd) {}

void ModbusImage::Update(const channels::ChannelData& data, const monitor::ShownPanelStates& states,
                         const StationStatus& status, WordOrder order) {
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
    const auto block = StatusRegisters(status, order);
    std::copy(block.begin(), block.end(), registers_.begin() + map::kStatus);
}

} // namespace registrator::integration
