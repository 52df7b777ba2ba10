#include "ArchiveTestSupport.h"
#include "channels/ChannelData.h"
#include "monitor/ArchiveStatusLine.h"

#include <fstream>

namespace registrator::archive::testing {
namespace {

using ArchiveStatusTest = ArchiveFolderTest;

TEST_F(ArchiveStatusTest, TellsWhyAppendsFailAndCountsTodaysRecordsOnceTheyWork) {
    const std::filesystem::path data = folder / "Data";
    Archive station(data.string() + "/", clock, messages);
    channels::ChannelData readings;
    const std::string shown = data.string() + "/";

    // Before the first slow tick nothing is known of today's file.
    EXPECT_EQ(monitor::DescribeArchive(station.Status(), station.Snapshot(), shown).Info, "Архив: " + shown);

    station.WriteArhiv(readings);
    station.WriteArhiv(readings);
    EXPECT_EQ(station.Status().Failure, AppendFailure::NoFolder);
    EXPECT_EQ(station.Status().Failures, 2u);
    EXPECT_EQ(monitor::DescribeArchive(station.Status(), station.Snapshot(), shown).Warning,
              "архив не пишется: нет папки Data");
    EXPECT_FALSE(std::filesystem::exists(data)) << "appends must never make the folder";

    // An earlier run left two and a half records: the count is the file's, not this run's.
    std::filesystem::create_directories(data);
    std::ofstream(data / "06.12.2026.txt", std::ios::binary) << std::string(584 * 2 + 100, '\0');
    station.WriteArhiv(readings);
    const monitor::ArchiveStatusLine working =
        monitor::DescribeArchive(station.Status(), station.Snapshot(), shown);
    EXPECT_EQ(working.Info, "Архив: " + shown + "   записей за сегодня: 3");
    EXPECT_EQ(working.Warning, "");

    clock.Set(common::EncodeDate(2026, 12, 7) + common::EncodeTime(0, 0, 1, 0));
    station.WriteArhiv(readings);
    EXPECT_EQ(station.Status().RecordsToday, 1u);
    EXPECT_TRUE(messages.Texts.empty());
}

} // namespace
} // namespace registrator::archive::testing
