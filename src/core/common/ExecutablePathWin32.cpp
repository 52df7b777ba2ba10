#ifdef _WIN32

#include "common/ExecutablePath.h"

#include <filesystem>
#include <windows.h>

namespace registrator::common {

std::string ExecutablePath() {
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size())
        return {};
    buffer.resize(n);
    const std::u8string utf8 = std::filesystem::path(buffer).u8string();
    return std::string(utf8.begin(), utf8.end());
}

} // namespace registrator::common

#endif
