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

// One register as a transfer of exactly one pair; the outcome of the transfer is not passed on, a
// read gives whatever the pair's value byte holds afterwards (0 when nothing was read into it).
template <class Connection>
std::uint8_t ReadOnePair(Connection& connection, std::uint8_t port, std::uint8_t reg) {
    std::uint8_t pair[2] = {AddressCode(port, reg), 0};
    connection.ReadPairs(pair, 1);
    return pair[1];
}

template <class Connection>
void WriteOnePair(Connection& connection, std::uint8_t port, std::uint8_t reg, std::uint8_t value) {
    std::uint8_t pair[2] = {AddressCode(port, reg), value};
    connection.WritePairs(pair, 1);
}

// A port answers when its data register echoes 0x00, 0x55 and 0xAA, or, failing that, when its
// control or status register reads anything but 0x00 or 0xFF (the idle bus). The data register
// gets its old value back.
bool ProbePort(PortAccess& port, std::uint8_t portId);

} // namespace registrator::acquisition
