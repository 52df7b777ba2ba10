#pragma once

#include "acquisition/PortAccess.h"

#include <array>
#include <cstdint>

namespace registrator::acquisition {

constexpr int kConverterCount = 72;
constexpr int kGroupCount = 9;
constexpr std::uint8_t kPpiModeWord = 0x80;

enum class PpiPort { A, B, C };

// The bit-level protocol of the 8255 and the 72 serial converters behind port 0x20. Every
// register access goes straight to the port in the order the wiring needs: nothing is cached,
// batched or delayed.
class ScanProtocol {
public:
    explicit ScanProtocol(PortAccess& port) : port_(port) {}

    // Start-up zeroes the five 32-bit state values before its first mode-word write.
    void ResetState();

    static std::uint8_t PermuteDataLines(std::uint8_t word);
    void WriteControlLines(std::uint8_t connectorLevel);
    void WritePpiMode(std::uint8_t word);
    std::uint8_t ReadStatusNibble();
    void WritePpiPort(PpiPort port, std::uint8_t value);
    std::uint8_t ReadGroup(int group);
    void ScanConverters();

    std::int32_t NibbleSelect = 0;
    std::int32_t LastPortControl = 0;
    std::int32_t PortAStrobe = 0;
    std::int32_t PortASelect = 0;
    std::int32_t PortCSelect = 0;
    std::uint8_t LowNibble = 0;
    std::uint8_t HighNibble = 0;
    // Entry i belongs to channel i + 1.
    std::array<std::int32_t, kConverterCount> ScanResult{};

private:
    PortAccess& port_;
};

} // namespace registrator::acquisition
