#include "acquisition/ConverterBank.h"

namespace registrator::acquisition {

namespace {

constexpr std::uint8_t kInvertedControlBits = 0x0B;
constexpr std::uint8_t kNibbleSelectLine = 0x01;
constexpr std::uint8_t kWriteStrobeLine = 0x02;
constexpr std::uint8_t kStartLine = 0x20;
constexpr std::uint8_t kClockLine = 0x80;
constexpr int kTopBit = 9;
constexpr std::uint8_t kFloating = 0xFF;

std::uint8_t ConnectorLevel(std::uint8_t raw) {
    return raw ^ kInvertedControlBits;
}

// The 8255 sees the data lines in wiring order: undo the permutation the mode word went through.
std::uint8_t UnpermuteDataLines(std::uint8_t lines) {
    std::uint8_t word = 0;
    for (int bit = 0; bit < 4; ++bit) {
        word |= static_cast<std::uint8_t>(((lines >> (2 * bit)) & 1) << bit);
        word |= static_cast<std::uint8_t>(((lines >> (2 * bit + 1)) & 1) << (bit + 4));
    }
    return word;
}

bool Rising(std::uint8_t before, std::uint8_t after, std::uint8_t line) {
    return !(before & line) && (after & line);
}

// One of three groups on a 2-bit address; -1 for the unused fourth code.
int DecodeThree(bool first, bool second) {
    if (first && second)
        return -1;
    return first ? 1 : second ? 2 : 0;
}

} // namespace

void ConverterBank::WriteRegister(std::uint8_t reg, std::uint8_t value) {
    if (reg == kDataRegister)
        data_ = value;
    else if (reg == kControlRegister)
        WriteControl(value);
}

std::uint8_t ConverterBank::ReadRegister(std::uint8_t reg) const {
    switch (reg) {
    case kDataRegister:
        return data_;
    case kControlRegister:
        return control_;
    case kStatusRegister: {
        const std::uint8_t bus = Bus();
        const bool high = ConnectorLevel(control_) & kNibbleSelectLine;
        const std::uint8_t nibble = high ? bus >> 4 : bus & 0x0F;
        return static_cast<std::uint8_t>(0x07 | (nibble << 3));
    }
    default:
        return kFloating;
    }
}

void ConverterBank::WriteControl(std::uint8_t raw) {
    const std::uint8_t before = ConnectorLevel(control_);
    const std::uint8_t after = ConnectorLevel(raw);
    control_ = raw;
    if (Rising(before, after, kWriteStrobeLine))
        Latch((after >> 2) & 0x03);
}

void ConverterBank::Latch(int address) {
    const std::uint8_t portB = PortPins(PpiPort::B);
    if (address < 3) {
        latches_[static_cast<std::size_t>(address)] = data_;
    } else {
        const std::uint8_t word = UnpermuteDataLines(data_);
        if (word & 0x80) {
            mode_ = word;
            latches_.fill(0);
        } else {
            // Bit set/reset of one port C line.
            const int line = (word >> 1) & 0x07;
            if (word & 1)
                latches_[2] |= static_cast<std::uint8_t>(1 << line);
            else
                latches_[2] &= static_cast<std::uint8_t>(~(1 << line));
        }
    }
    SetPortB(portB);
}

void ConverterBank::SetPortB(std::uint8_t before) {
    const std::uint8_t after = PortPins(PpiPort::B);
    if (Rising(before, after, kStartLine)) {
        inputs_.SampleCounts(shift_);
        bit_ = kTopBit;
    }
    if (Rising(before, after, kClockLine) && bit_ >= 0)
        --bit_;
}

std::uint8_t ConverterBank::PortPins(PpiPort port) const {
    switch (port) {
    case PpiPort::A:
        return (mode_ & 0x10) ? kFloating : latches_[0];
    case PpiPort::B:
        return (mode_ & 0x02) ? kFloating : latches_[1];
    case PpiPort::C:
        break;
    }
    const std::uint8_t upper = (mode_ & 0x08) ? 0xF0 : (latches_[2] & 0xF0);
    const std::uint8_t lower = (mode_ & 0x01) ? 0x0F : (latches_[2] & 0x0F);
    return static_cast<std::uint8_t>(upper | lower);
}

std::uint8_t ConverterBank::Bus() const {
    const std::uint8_t a = PortPins(PpiPort::A);
    const std::uint8_t c = PortPins(PpiPort::C);
    if (a & 0x02) // read strobe idle
        return kFloating;
    int group = -1;
    switch (a & 0x50) {
    case 0x00:
        if (!(a & 0x80))
            group = DecodeThree(a & 0x20, a & 0x08);
        break;
    case 0x10:
        if (!(c & 0x80) && DecodeThree(c & 0x20, c & 0x08) >= 0)
            group = 3 + DecodeThree(c & 0x20, c & 0x08);
        break;
    case 0x40:
        if (!(c & 0x02) && DecodeThree(c & 0x01, c & 0x04) >= 0)
            group = 6 + DecodeThree(c & 0x01, c & 0x04);
        break;
    default: // two banks at once: neither buffer is enabled
        break;
    }
    return group < 0 ? kFloating : GroupByte(group);
}

std::uint8_t ConverterBank::GroupByte(int group) const {
    if (bit_ < 0)
        return 0;
    std::uint8_t byte = 0;
    for (int j = 0; j < 8; ++j) {
        const std::uint16_t count = shift_[static_cast<std::size_t>(8 * group + j)];
        byte |= static_cast<std::uint8_t>(((count >> bit_) & 1) << j);
    }
    return byte;
}

} // namespace registrator::acquisition
