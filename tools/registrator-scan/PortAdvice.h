#pragma once

#include "acquisition/PortAccess.h"

#include <cstdint>
#include <string>

namespace registrator::tools {

// Where the counts come from, for the table's heading: the simulated plant, the ppdev device or
// direct port I/O (with a warning when no port answers at 0x378).
std::string DescribePort(const acquisition::PortAccess& port, const std::string& device);

// What the technician reads when the port cannot be opened: the device, the reason (the system's
// text for `code`) and what to check, several lines ending in "\n".
std::string PortFailureText(const std::string& device, std::uint32_t code);

} // namespace registrator::tools
