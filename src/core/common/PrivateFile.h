#pragma once

#include <string>

namespace registrator::common {

// Whether a file that holds a secret (a password, a password hash, a key) is kept from other users: on
// Linux no permission bit for its group or for others. False, with `error` saying why and what to do,
// when it may be read by others or cannot be looked at. Windows keeps no such bits: there it only has
// to exist.
bool OwnerOnly(const std::string& path, std::string& error);

} // namespace registrator::common
