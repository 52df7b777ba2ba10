#include "acquisition/LptAddressing.h"

namespace registrator::acquisition {

namespace {
bool FloatingBus(std::uint8_t value) {
    return value == 0x00 || value == 0xFF;
}
} // namespace

bool ProbePort(PortAccess& port, std::uint8_t portId) {
    const std::uint8_t saved = port.ReadRegister(portId, kDataRegister);
    // Every pattern is written even after a miss, so the restore below always follows the same writes.
    bool echoes = true;
    for (const std::uint8_t pattern : {std::uint8_t{0x00}, std::uint8_t{0x55}, std::uint8_t{0xAA}}) {
        port.WriteRegister(portId, kDataRegister, pattern);
        if (echoes)
            echoes = port.ReadRegister(portId, kDataRegister) == pattern;
    }
    port.WriteRegister(portId, kDataRegister, saved);
    if (echoes)
        return true;
    if (!FloatingBus(port.ReadRegister(portId, kControlRegister)))
        return true;
    return !FloatingBus(port.ReadRegister(portId, kStatusRegister));
}

} // namespace registrator::acquisition
