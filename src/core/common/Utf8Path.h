#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace registrator::common {

// The program holds every path as UTF-8 text. These two are the only crossings to the system's paths:
// a path made straight from a std::string, or its string(), would use the ANSI code page on Windows.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

} // namespace registrator::common
