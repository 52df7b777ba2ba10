#pragma once

#include <cstdint>
#include <string>

namespace registrator::acquisition {

// Port IDs in the high nibble, register offsets in the low three bits.
constexpr std::uint8_t kPort1 = 0x10;
constexpr std::uint8_t kPort2 = 0x20;
constexpr std::uint8_t kPort3 = 0x30;
constexpr std::uint8_t kDataRegister = 0;
constexpr std::uint8_t kStatusRegister = 1;
constexpr std::uint8_t kControlRegister = 2;

// Byte-wide access to the registers of a parallel port. Register-level failures are not reported
// upward: a write that cannot be made is lost, a read that cannot be made gives 0.
class PortAccess {
public:
    virtual ~PortAccess() = default;
    virtual bool IsReady() const = 0;
    virtual std::uint8_t ReadRegister(std::uint8_t port, std::uint8_t reg) = 0;
    virtual void WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) = 0;
    // The platform error code left by the failed open, for the start-up error box.
    virtual std::uint32_t LastError() const = 0;
    // What the ui tells the operator about where the readings come from; empty for real hardware.
    virtual std::string SimulationNote() const { return {}; }
};

} // namespace registrator::acquisition
