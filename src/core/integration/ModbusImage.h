#pragma once

#include "channels/ChannelData.h"
#include "integration/StationStatus.h"
#include "monitor/ShownPanelStates.h"

#include <array>
#include <cstdint>
#include <vector>

namespace registrator::integration {

// How a 32-bit value (a float, a counter) lies in two registers.
enum class WordOrder { HighFirst, LowFirst };

// The register map other systems read, one block per kind of figure. Holding (3) and input (4)
// registers are the same registers; discrete inputs (2) are the bits.
namespace modbus_map {
constexpr int kCurrents = 0;        // whole amperes, as the current label shows them
constexpr int kRawCounts = 100;     // the averaged raw count x
constexpr int kStates = 200;        // 0 off, 1 running, 2 above nominal, 3 above critical
constexpr int kFloatCurrents = 300; // two registers each
constexpr int kStatus = 1000;
constexpr int kStatusCount = 17;
constexpr int kRegisterEnd = kStatus + kStatusCount;

constexpr int kAboveCritical = 0; // bits
constexpr int kAboveNominal = 100;
constexpr int kRunning = 200;
constexpr int kBitEnd = kRunning + channels::kChannelCount;

// The Modbus exception codes the map answers with.
constexpr int kIllegalFunction = 1;
constexpr int kIllegalAddress = 2;
constexpr int kIllegalValue = 3;
constexpr int kGatewayTargetFailed = 11; // a request for another unit
} // namespace modbus_map

// 0 when a request of `function` for `count` items from `address` lies wholly inside one block of
// the map, else the exception to answer. Only reads are served: anything that would write is an
// illegal function, as is any function but 1 to 4.
int CheckModbusRequest(int function, int address, int count);

// The status block: the station's figures, each clamped to what its registers hold.
std::array<std::uint16_t, modbus_map::kStatusCount> StatusRegisters(const StationStatus& status,
                                                                    WordOrder order);

// The registers and bits of one completed scan cycle, with the panel states the mimic shows.
class ModbusImage {
public:
    ModbusImage();

    void Update(const channels::ChannelData& data, const monitor::ShownPanelStates& states,
                const StationStatus& status, WordOrder order);

    const std::vector<std::uint16_t>& Registers() const { return registers_; }
    const std::vector<std::uint8_t>& Bits() const { return bits_; }

private:
    std::vector<std::uint16_t> registers_;
    std::vector<std::uint8_t> bits_;
};

} // namespace registrator::integration
