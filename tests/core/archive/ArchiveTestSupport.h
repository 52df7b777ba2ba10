#pragma once

#include "archive/Archive.h"
#include "common/Clock.h"
#include "common/DateTime.h"
#include "common/OperatorMessages.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace registrator::archive::testing {

inline const std::string kOpenFailed = "Ошибка открытия файла БД.";
inline const std::string kNoData = "В БД нет запрашиваемой информации.";

class RecordingMessages final : public common::OperatorMessages {
public:
    void Show(const std::string& text) override { Texts.push_back(text); }
    std::vector<std::string> Texts;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline double DoubleAt(const std::string& bytes, std::size_t offset) {
    EXPECT_LE(offset + 8, bytes.size());
    double value = 0;
    if (offset + 8 <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, 8);
    return value;
}

inline std::int32_t Int32At(const std::string& bytes, std::size_t offset) {
    EXPECT_LE(offset + 4, bytes.size());
    std::int32_t value = 0;
    if (offset + 4 <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

inline std::string RecordBytes(const TArhivRec& rec) {
    return {reinterpret_cast<const char*>(&rec), sizeof rec};
}

// A fresh archive folder under the system's temporary folder, removed afterwards, with an Archive
// over it whose clock stands at 6 December 2026, 10:00.
class ArchiveFolderTest : public ::testing::Test {
protected:
    ArchiveFolderTest() { std::filesystem::create_directories(folder); }
    ~ArchiveFolderTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::filesystem::path File(const std::string& name) const { return folder / name; }

    std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                   ("registrator-archive-test-" + std::to_string(std::random_device{}()));
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(10, 0, 0, 0)};
    RecordingMessages messages;
    Archive archive{folder.string() + "/", clock, messages};
};

} // namespace registrator::archive::testing
