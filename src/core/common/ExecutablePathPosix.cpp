#ifndef _WIN32

#include "common/ExecutablePath.h"
#include "common/Utf8Path.h"

#include <filesystem>

namespace registrator::common {

std::string ExecutablePath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string{} : Utf8FromPath(self);
}

} // namespace registrator::common

#endif
