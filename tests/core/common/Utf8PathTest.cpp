#include "common/Utf8Path.h"

#include "archive/RecordFiles.h"
#include "integration/DayFileQueue.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace registrator::common {
namespace {

// A folder named in Cyrillic, as a Russian Windows user's profile puts one in every path: a path made
// in the ANSI code page, or read back in it, misses the folder or the day files in it.
TEST(Utf8Path, ACyrillicFolderHoldsDayFilesThatAreWrittenListedAndRead) {
    const std::string name = "Данные регистратора";
    EXPECT_EQ(Utf8FromPath(PathFromUtf8(name)), name);

    support::TempFolder base;
    const std::string folder = Utf8FromPath(base.Path()) + "/" + name + "/";
    std::filesystem::create_directories(PathFromUtf8(folder));
    const TDateTime day = EncodeDate(2026, 12, 7);
    archive::TArhivRec record;
    record.Time = day + 0.5;
    record.Tok[0] = 123;
    ASSERT_TRUE(archive::AppendReading(folder + ArchiveDateText(day) + ".txt", record).Ok);

    integration::DayFileQueue queue(folder);
    EXPECT_EQ(queue.NewestDay(), day);
    const integration::DayFileQueue::Step step = queue.Read({day, 0}, 10, day);
    ASSERT_EQ(step.Records.size(), 1u);
    EXPECT_EQ(step.Records[0].second.Tok[0], 123);
}

} // namespace
} // namespace registrator::common
