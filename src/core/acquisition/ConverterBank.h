#pragma once

#include "acquisition/ScanProtocol.h"

#include <array>
#include <cstdint>

namespace registrator::acquisition {

// Raw counts (0..1023) of the 72 converters; entry i is channel i + 1.
using ConverterCounts = std::array<std::uint16_t, kConverterCount>;

// What the converters measure: asked once per start pulse for the counts they latch.
class ConverterInputs {
public:
    virtual ~ConverterInputs() = default;
    virtual void SampleCounts(ConverterCounts& counts) = 0;
};

// A model of the hardware behind port 0x20, driven only by what the port's registers see:
// - the control lines at connector level (the port inverts bits 0, 1 and 3): bit 0 selects the
//   status nibble, bit 1 is the 8255 write strobe (active low), bits 2 and 3 are A0 and A1;
// - the 8255 latches the data lines on the rising edge of the strobe into port A, B, C or its
//   mode register; the mode word arrives through the data-line permutation, resets the output
//   latches, and ports set as inputs float high;
// - port B bit 5 rising latches every converter's count (its MSB is then on its output), bit 7
//   rising shifts each converter one bit on; after ten bits the outputs stay low;
// - port A bit 1 low is the read strobe and bits 4 and 6 pick the bank whose selected group
//   drives the bus: bank 0 by port A (bit 7 low enables, bits 5 and 3 address groups 0..2),
//   bank 1 by port C bits 7, 5, 3 (groups 3..5), bank 2 by port C bits 1 (low enables), 0, 2
//   (groups 6..8). An undriven bus floats high;
// - the status register shows the selected nibble of the bus on bits 3..6, bits 0..2 high.
class ConverterBank {
public:
    explicit ConverterBank(ConverterInputs& inputs) : inputs_(inputs) {}

    void WriteRegister(std::uint8_t reg, std::uint8_t value);
    std::uint8_t ReadRegister(std::uint8_t reg) const;

    // Line levels the 8255 drives (0xFF for a port set as input).
    std::uint8_t PortPins(PpiPort port) const;
    // The last mode word the 8255 took, after undoing the data-line permutation.
    std::uint8_t ModeWord() const { return mode_; }
    // The eight group outputs on the bus, 0xFF when nothing drives it.
    std::uint8_t Bus() const;

private:
    void WriteControl(std::uint8_t raw);
    void Latch(int address);
    void SetPortB(std::uint8_t before);
    std::uint8_t GroupByte(int group) const;

    ConverterInputs& inputs_;
    std::uint8_t data_ = 0;
    std::uint8_t control_ = 0x0C;
    // After reset the 8255 has every port as input.
    std::uint8_t mode_ = 0x9B;
    std::array<std::uint8_t, 3> latches_{};
    ConverterCounts shift_{};
    int bit_ = -1;
};

} // namespace registrator::acquisition
