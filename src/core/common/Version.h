#pragma once

namespace registrator::common {

// The build's version ("0.1"): the same in --version, the about window, /health, the MQTT status and
// the packages' names.
const char* ProgramVersion();

} // namespace registrator::common
