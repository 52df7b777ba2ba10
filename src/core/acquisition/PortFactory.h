#pragma once

#include "acquisition/PortAccess.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"

#include <memory>
#include <string>

namespace registrator::acquisition {

struct PortOptions {
    bool Simulate = false;
    std::string Device;        // Linux ppdev device for port 0x20; empty means /dev/parport0
    std::string ProgramFolder; // folder of the executable, with its trailing separator
    unsigned Seed = 1;         // simulated plant
};

// Picks the backend: the simulated plant when asked for (it aims at the thresholds in `ustavki`
// and follows `clock`), else the platform's real port. Never falls back to simulated data by
// itself. Both references must outlive the port.
// The real port as the operator names it: the ppdev device on Linux, the driver's device on Windows.
std::string PortName(const PortOptions& options);

std::unique_ptr<PortAccess> MakePort(const PortOptions& options, const channels::UstavkiTable& ustavki,
                                     const common::Clock& clock);

} // namespace registrator::acquisition
