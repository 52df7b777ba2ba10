// A station's start and end as they touch its files: the day's settings snapshot and the settings file.
#include "ServiceTestSupport.h"
#include "archive/RecordFiles.h"
#include "support/TempFolder.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace registrator::service {
namespace {

using support::ReadFileBytes;
using support::WriteFileBytes;

class StationTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder.Path() / "bin");
        std::filesystem::create_directories(folder.Path() / "Data");
    }
    std::filesystem::path SettingsFile() const { return folder.Path() / "bin" / "Registrator.INI"; }

    support::TempFolder folder;
    common::SettableClock clock{common::EncodeDate(2026, 12, 6) + common::EncodeTime(8, 30, 0, 0)};
    support::RecordingDialogs dialogs;
};

// A station switched on every morning never ran through midnight: its days had no snapshot, every
// start showed a box, and the viewer judged the day with another day's thresholds.
TEST_F(StationTest, AStartWritesTheDaysMissingSnapshotOnceAndNeverReplacesOne) {
    WriteFileBytes(SettingsFile(), "[Ustavki72]\r\nName=Vent\r\nT_Nom=75,5\r\n");
    const auto snapshot = folder.Path() / "Data" / "06.12.2026UST.txt";
    {
        Station station(support::FolderEnvironment(clock, dialogs, folder));
        support::StartStation(station);
        support::EndStation(station);
    }
    EXPECT_TRUE(dialogs.Boxes.isEmpty()) << dialogs.Boxes.join(QLatin1Char('|')).toStdString();
    const std::string written = ReadFileBytes(snapshot);
    ASSERT_EQ(written.size(), 5760u);
    archive::TUstRec last;
    std::memcpy(&last, written.data() + 71 * 80, sizeof last);
    EXPECT_EQ(archive::NameBytes(last), "Vent");
    EXPECT_EQ(last.T_Nom, 75.5);

    // A later start that day, with other settings, keeps the record of those in force at first.
    WriteFileBytes(SettingsFile(), "[Ustavki72]\r\nName=Other\r\nT_Nom=1\r\n");
    {
        Station station(support::FolderEnvironment(clock, dialogs, folder));
        support::StartStation(station);
        EXPECT_EQ(archive::NameBytes(station.Archive().UstBuf[71]), "Vent");
        support::EndStation(station);
    }
    EXPECT_EQ(ReadFileBytes(snapshot), written);

    // Without Data/ nothing is made, and the box tells the truth.
    std::filesystem::remove_all(folder.Path() / "Data");
    {
        Station station(support::FolderEnvironment(clock, dialogs, folder));
        support::StartStation(station);
        support::EndStation(station);
    }
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "Data"));
    EXPECT_EQ(dialogs.Boxes, QStringList{QStringLiteral("message: Ошибка открытия файла БД.")});
}

TEST_F(StationTest, SettingsThatCannotBeWrittenAtShutdownGoToTheGeneralErrorBox) {
    auto env = support::FolderEnvironment(clock, dialogs, folder);
    env.ExecutablePath = (folder.Path() / "missing" / "REGISTRATOR.EXE").string();
    Station station(std::move(env));
    support::StartStation(station);
    dialogs.Boxes.clear();
    support::EndStation(station);
    const std::string path = (folder.Path() / "missing" / "Registrator.INI").string();
    EXPECT_EQ(dialogs.Boxes,
              QStringList{QStringLiteral("error: Unable to write to ") + QString::fromStdString(path)});
    EXPECT_FALSE(station.Recorder().Timer1().isActive());
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace registrator::service
