#pragma once

#include "archive/Archive.h"
#include "common/Clock.h"
#include "common/DateTime.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace registrator::archive::testing {

inline const std::string kOpenFailed = "Ошибка открытия файла БД.";
inline const std::string kNoData = "В БД нет запрашиваемой информации.";

using support::ReadFileBytes;
using support::RecordingMessages;
using support::WriteFileBytes;

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
    std::filesystem::path File(const std::string& name) const { return folder / name; }

    support::TempFolder temp;
    const std::filesystem::path& folder = temp.Path();
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(10, 0, 0, 0)};
    RecordingMessages messages;
    Archive archive{temp.Slash(), clock, messages};
};

} // namespace registrator::archive::testing
