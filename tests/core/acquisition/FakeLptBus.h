#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

// The three parallel ports of a PC as the connection tests see them, by I/O address.
namespace registrator::acquisition::fakes {

enum class PortKind {
    Echoing,     // a normal port: the data register reads back what was written
    ControlOnly, // data does not echo, control reads 0xCC
    StatusOnly,  // data does not echo, control reads 0xFF, status reads 0x87
    Absent,      // nothing on the bus: every read is 0xFF
    AbsentLow,   // nothing on the bus, pulled low: every read is 0x00
};

struct BusAccess {
    bool Write;
    std::uint16_t Address;
    std::uint8_t Value;
};

class FakeLptBus {
public:
    static constexpr std::array<std::uint16_t, 3> kBases = {0x3BC, 0x378, 0x278};

    FakeLptBus(PortKind lpt1 = PortKind::Echoing, PortKind lpt2 = PortKind::Echoing,
               PortKind lpt3 = PortKind::Absent)
        : kinds_{lpt1, lpt2, lpt3} {}

    std::uint8_t In(std::uint16_t address) {
        const std::uint8_t value = Read(address);
        Log.push_back({false, address, value});
        return value;
    }
    void Out(std::uint16_t address, std::uint8_t value) {
        Log.push_back({true, address, value});
        registers_[address] = value;
    }
    void Preset(std::uint16_t address, std::uint8_t value) { registers_[address] = value; }
    std::uint8_t Latched(std::uint16_t address) const {
        const auto it = registers_.find(address);
        return it == registers_.end() ? 0 : it->second;
    }

    std::vector<BusAccess> Log;

private:
    std::uint8_t Read(std::uint16_t address) const {
        for (std::size_t i = 0; i < kBases.size(); ++i) {
            if (address < kBases[i] || address >= kBases[i] + 8)
                continue;
            const int offset = address - kBases[i];
            switch (kinds_[i]) {
            case PortKind::Echoing:
                return Latched(address);
            case PortKind::ControlOnly:
                return offset == 2 ? 0xCC : 0xFF;
            case PortKind::StatusOnly:
                return offset == 1 ? 0x87 : 0xFF;
            case PortKind::Absent:
                return 0xFF;
            case PortKind::AbsentLow:
                return 0x00;
            }
        }
        return 0xFF;
    }

    std::array<PortKind, 3> kinds_;
    std::map<std::uint16_t, std::uint8_t> registers_;
};

} // namespace registrator::acquisition::fakes
