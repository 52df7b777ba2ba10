#pragma once

#include "acquisition/LptAddressing.h"
#include "acquisition/PortAccess.h"

#include <array>
#include <cstdint>

namespace registrator::acquisition {

// TLptPortConnection, the real port on either platform: registers reached as address/value pairs, the
// three ports probed once it is open, the error code of an open that failed. How the pairs travel is
// each platform's own (LinuxLptPortConnection, WinLptPortConnection).
class LptPortConnection : public PortAccess {
public:
    LptPortConnection() = default;
    // It owns a device or a service, which a copy would release twice.
    LptPortConnection(const LptPortConnection&) = delete;
    LptPortConnection& operator=(const LptPortConnection&) = delete;

    // One register as a transfer of exactly one pair; the outcome of the transfer is not passed on, a
    // read gives whatever the pair's value byte holds afterwards (0 when nothing was read into it).
    std::uint8_t ReadRegister(std::uint8_t port, std::uint8_t reg) final;
    void WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) final;
    std::uint32_t LastError() const final { return lastError_; }

    // `count` address/value pairs, processed in order; false when the connection is not ready or a
    // pair could not be made. A transfer of no pairs does nothing and reports whether it is ready.
    bool ReadPairs(std::uint8_t* pairs, int count) { return Transfer(pairs, count, Direction::Read); }
    bool WritePairs(std::uint8_t* pairs, int count) { return Transfer(pairs, count, Direction::Write); }
    // A port answers when its data register echoes 0x00, 0x55 and 0xAA, or, failing that, when its
    // control or status register reads anything but 0x00 or 0xFF (the idle bus). The data register
    // gets its old value back.
    bool ProbePort(std::uint8_t portId);
    // Which of kPortIds answered when the connection opened.
    const std::array<bool, 3>& PortPresent() const { return portPresent_; }

protected:
    enum class Direction { Read, Write };

    // The end of each platform's opening: the error code the start-up box shows, or the ports probed.
    void Opened(std::uint32_t openError);
    // Pairs through port instructions at their I/O addresses; every one is made.
    static void TransferDirect(PortInstructions& io, std::uint8_t* pairs, int count, Direction direction);

private:
    bool Transfer(std::uint8_t* pairs, int count, Direction direction);
    // At least one pair, the connection ready.
    virtual bool TransferPairs(std::uint8_t* pairs, int count, Direction direction) = 0;

    std::array<bool, 3> portPresent_{};
    std::uint32_t lastError_ = 0;
};

} // namespace registrator::acquisition
