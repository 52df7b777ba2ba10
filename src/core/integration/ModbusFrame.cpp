#include "integration/ModbusFrame.h"

namespace registrator::integration {

namespace {

constexpr std::size_t kBeforeLength = 6; // transaction, protocol and the length itself
constexpr int kShortestLength = 2;       // unit and function code
constexpr int kLongestLength = static_cast<int>(kLongestModbusFrame - kBeforeLength);

int WordAt(std::span<const std::uint8_t> bytes, std::size_t at) {
    return bytes[at] << 8 | bytes[at + 1];
}

void PutWord(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

} // namespace

ModbusFrameCut CutModbusFrame(std::span<const std::uint8_t> bytes) {
    constexpr ModbusFrameCut malformed{ModbusFrameCut::Kind::Malformed, 0};
    if (bytes.size() >= 4 && WordAt(bytes, 2) != 0)
        return malformed;
    if (bytes.size() < kBeforeLength)
        return {};
    const int length = WordAt(bytes, 4);
    if (length < kShortestLength || length > kLongestLength)
        return malformed;
    if (bytes.size() > 7) {
        // The reads and the single writes hold an address and a count or value after their code; the
        // multiple writes those and a byte count of the values that follow.
        const int function = bytes[7];
        if (function >= 1 && function <= 6 && length != 6)
            return malformed;
        if ((function == 15 || function == 16) &&
            (length < 7 || (bytes.size() > 12 && length != 7 + bytes[12])))
            return malformed;
    }
    const std::size_t size = kBeforeLength + static_cast<std::size_t>(length);
    if (bytes.size() < size)
        return {};
    return {ModbusFrameCut::Kind::Whole, size};
}

void AnswerModbusFrame(std::span<const std::uint8_t> frame, int unit, const ModbusImage& image,
                       std::vector<std::uint8_t>& answer) {
    const int asked = frame[6];
    const int function = frame[7];
    int exception = modbus_map::kIllegalFunction;
    int address = 0;
    int count = 0;
    if (asked != unit && asked != 255) {
        exception = modbus_map::kGatewayTargetFailed;
    } else if (function >= 1 && function <= 4) {
        address = WordAt(frame, 8);
        count = WordAt(frame, 10);
        exception = CheckModbusRequest(function, address, count);
    }
    const std::size_t start = answer.size();
    answer.insert(answer.end(), {frame[0], frame[1], 0, 0, 0, 0, frame[6]});
    if (exception != 0) {
        answer.push_back(static_cast<std::uint8_t>(function | 0x80));
        answer.push_back(static_cast<std::uint8_t>(exception));
    } else if (function == 2) {
        answer.push_back(static_cast<std::uint8_t>(function));
        answer.push_back(static_cast<std::uint8_t>((count + 7) / 8));
        const std::size_t first = answer.size();
        answer.resize(first + static_cast<std::size_t>((count + 7) / 8));
        for (int i = 0; i < count; ++i)
            if (image.Bits()[static_cast<std::size_t>(address + i)])
                answer[first + static_cast<std::size_t>(i / 8)] |= static_cast<std::uint8_t>(1 << (i % 8));
    } else {
        answer.push_back(static_cast<std::uint8_t>(function));
        answer.push_back(static_cast<std::uint8_t>(2 * count));
        for (int i = 0; i < count; ++i)
            PutWord(answer, image.Registers()[static_cast<std::size_t>(address + i)]);
    }
    const auto length = static_cast<int>(answer.size() - start - kBeforeLength);
    answer[start + 4] = static_cast<std::uint8_t>(length >> 8);
    answer[start + 5] = static_cast<std::uint8_t>(length & 0xFF);
}

} // namespace registrator::integration
