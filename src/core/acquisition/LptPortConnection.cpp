#include "acquisition/LptPortConnection.h"

namespace registrator::acquisition {

namespace {
bool FloatingBus(std::uint8_t value) {
    return value == 0x00 || value == 0xFF;
}
} // namespace

std::uint8_t LptPortConnection::ReadRegister(std::uint8_t port, std::uint8_t reg) {
    std::uint8_t pair[2] = {AddressCode(port, reg), 0};
    ReadPairs(pair, 1);
    return pair[1];
}

void LptPortConnection::WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) {
    std::uint8_t pair[2] = {AddressCode(port, reg), value};
    WritePairs(pair, 1);
}

bool LptPortConnection::Transfer(std::uint8_t* pairs, int count, Direction direction) {
    if (!IsReady())
        return false;
    return count <= 0 || TransferPairs(pairs, count, direction);
}

void LptPortConnection::TransferDirect(PortInstructions& io, std::uint8_t* pairs, int count,
                                       Direction direction) {
    for (int i = 0; i < count; ++i) {
        const std::uint16_t address = IoAddressOf(pairs[2 * i]);
        if (direction == Direction::Read)
            pairs[2 * i + 1] = io.PortIn(address);
        else
            io.PortOut(address, pairs[2 * i + 1]);
    }
}

void LptPortConnection::Opened(std::uint32_t openError) {
    if (!IsReady()) {
        lastError_ = openError;
        return;
    }
    for (std::size_t i = 0; i < kPortIds.size(); ++i)
        portPresent_[i] = ProbePort(kPortIds[i]);
}

bool LptPortConnection::ProbePort(std::uint8_t portId) {
    const std::uint8_t saved = ReadRegister(portId, kDataRegister);
    // Every pattern is written even after a miss, so the restore below always follows the same writes.
    bool echoes = true;
    for (const std::uint8_t pattern : {std::uint8_t{0x00}, std::uint8_t{0x55}, std::uint8_t{0xAA}}) {
        WriteRegister(portId, kDataRegister, pattern);
        if (echoes)
            echoes = ReadRegister(portId, kDataRegister) == pattern;
    }
    WriteRegister(portId, kDataRegister, saved);
    if (echoes)
        return true;
    if (!FloatingBus(ReadRegister(portId, kControlRegister)))
        return true;
    return !FloatingBus(ReadRegister(portId, kStatusRegister));
}

} // namespace registrator::acquisition
