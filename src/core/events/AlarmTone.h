#pragma once

#include <string>

namespace registrator::events {

// The alarm's sound, made here rather than shipped: a WAV file (16-bit mono PCM) of two short falling
// tones with soft edges, about 0.4 s, repeated by the caller until the alarm is acknowledged.
std::string AlarmToneWav();

} // namespace registrator::events
