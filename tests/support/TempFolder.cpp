#include "support/TempFolder.h"

#include <fstream>
#include <iterator>
#include <random>

namespace registrator::support {

TempFolder::TempFolder(const std::filesystem::path& parent) {
    // Random rather than counted: test programs run side by side under ctest -j.
    std::random_device random;
    do {
        path_ = parent / ("registrator-test-" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directories(path_));
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace registrator::support
