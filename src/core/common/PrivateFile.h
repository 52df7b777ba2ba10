#pragma once

#include <string>

namespace registrator::common {

// Whether a file holding a secret (a password, a private key) is kept from other users: false, with
// `error` said, when it is not there or when its group or others may read or write it. On Windows,
// whose files carry no such bits, only that it is there.
bool KeptFromOthers(const std::string& path, std::string& error);

} // namespace registrator::common
