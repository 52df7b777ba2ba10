#ifdef _WIN32

#include "common/ExecutablePath.h"
#include "common/Utf8Path.h"

#include <filesystem>
#include <windows.h>

namespace registrator::common {

std::string ExecutablePath() {
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size())
        return {};
    buffer.resize(n);
    return Utf8FromPath(std::filesystem::path(buffer));
}

} // namespace registrator::common

#endif
