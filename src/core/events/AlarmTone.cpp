#include "events/AlarmTone.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace registrator::events {

namespace {

constexpr int kRate = 22050;

void Put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

std::string AlarmToneWav() {
    constexpr double kPi = 3.14159265358979323846;
    // Two tones a fourth apart, high then low: heard over machinery, not mistaken for a phone.
    struct Tone {
        double Hz;
        double Seconds;
    };
    constexpr Tone kTones[] = {{988, 0.16}, {0, 0.04}, {740, 0.2}};
    std::string samples;
    for (const Tone& tone : kTones) {
        const int count = static_cast<int>(tone.Seconds * kRate);
        const int edge = kRate / 100; // 10 ms in and out: no click
        for (int i = 0; i < count; ++i) {
            const double envelope =
                std::min({1.0, i / static_cast<double>(edge), (count - 1 - i) / static_cast<double>(edge)});
            const double value = tone.Hz == 0 ? 0 : 0.6 * envelope * std::sin(2 * kPi * tone.Hz * i / kRate);
            Put(samples, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value * 32767))),
                2);
        }
    }
    std::string wav = "RIFF";
    Put(wav, static_cast<std::uint32_t>(36 + samples.size()), 4);
    wav += "WAVEfmt ";
    Put(wav, 16, 4);
    Put(wav, 1, 2); // PCM
    Put(wav, 1, 2); // mono
    Put(wav, kRate, 4);
    Put(wav, kRate * 2, 4);
    Put(wav, 2, 2);
    Put(wav, 16, 2);
    wav += "data";
    Put(wav, static_cast<std::uint32_t>(samples.size()), 4);
    return wav + samples;
}

} // namespace registrator::events
