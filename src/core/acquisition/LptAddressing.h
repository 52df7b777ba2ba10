#pragma once

#include "acquisition/PortAccess.h"

#include <array>
#include <cstdint>

namespace registrator::acquisition {

// The three port IDs in the order their probe results are kept.
constexpr std::array<std::uint8_t, 3> kPortIds = {kPort1, kPort2, kPort3};

// One byte naming a register: port ID in the high nibble, register offset in the low three bits.
constexpr std::uint8_t AddressCode(std::uint8_t port, std::uint8_t reg) {
    return static_cast<std::uint8_t>(port | reg);
}

// I/O address of an address code on the direct path: the base that the high nibble picks
// (1: 0x3BC, 2: 0x378, anything else: 0x278) plus the low three bits; bit 3 plays no part.
constexpr std::uint16_t IoAddressOf(std::uint8_t code) {
    const int id = code >> 4;
    const std::uint16_t base = id == 1 ? 0x3BC : id == 2 ? 0x378 : 0x278;
    return static_cast<std::uint16_t>(base + (code & 0x07));
}

// The processor's port instructions, the direct path on either platform.
class PortInstructions {
public:
    virtual ~PortInstructions() = default;
    virtual void PortOut(std::uint16_t address, std::uint8_t value) = 0;
    virtual std::uint8_t PortIn(std::uint16_t address) = 0;
};

} // namespace registrator::acquisition
