#pragma once

#include <string>

namespace registrator::common {

// The running executable's full path as UTF-8, from the system (not from argv[0], which a start script
// or the PATH may have shortened); empty when the system does not say.
std::string ExecutablePath();

} // namespace registrator::common
