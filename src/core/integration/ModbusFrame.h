#pragma once

#include "integration/ModbusImage.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace registrator::integration {

// Modbus TCP as it comes off a client's stream: each frame is the MBAP header (transaction,
// protocol 0, the length of what follows, unit) and one request. Nothing of it is trusted: a header
// that is wrong cannot be skipped, since no byte after it can be known to start the next frame.
struct ModbusFrameCut {
    enum class Kind { Partial, Whole, Malformed };
    Kind What = Kind::Partial;
    std::size_t Size = 0; // of the whole frame
};

// The longest frame the protocol allows: what a client's unfinished frame may hold.
constexpr std::size_t kLongestModbusFrame = 260;

// What the bytes a client has sent begin with. Malformed as soon as those in say so: a protocol
// other than 0, a length the protocol does not allow (under 2 or over 254), or one that disagrees
// with the request its function code gives.
ModbusFrameCut CutModbusFrame(std::span<const std::uint8_t> bytes);

// Appends the answer to a frame CutModbusFrame found whole: the registers or bits it reads from
// `image`, or the exception the map gives. A request for a unit other than `unit` and 255 gets
// exception 11; a function code of 128 and above, which no request has, exception 1.
void AnswerModbusFrame(std::span<const std::uint8_t> frame, int unit, const ModbusImage& image,
                       std::vector<std::uint8_t>& answer);

} // namespace registrator::integration
