#include "common/PrivateFile.h"

#include "common/Utf8Path.h"

#include <filesystem>

namespace registrator::common {

bool KeptFromOthers(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::perms perms = fs::status(PathFromUtf8(path), code).permissions();
    if (code) {
        error = path + ": " + code.message();
        return false;
    }
#ifndef _WIN32
    if ((perms & (fs::perms::group_all | fs::perms::others_all)) != fs::perms::none) {
        error = path + " may be read by others; make it readable by its owner only (chmod 600)";
        return false;
    }
#else
    (void)perms;
#endif
    return true;
}

} // namespace registrator::common
