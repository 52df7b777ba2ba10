#include "ServiceTestSupport.h"
#include "support/TempFolder.h"

#include <QStringList>
#include <filesystem>
#include <gtest/gtest.h>

namespace registrator::service {
namespace {

using support::ReadFileBytes;

// A settings file the program could not read gave every channel its defaults in silence, and the save
// at exit appended 72 sections to its bytes.
TEST(SettingsFileAtStartUp, AFileOfNoTextIsKeptAsideToldOfAndFollowedByAFileOfItsOwn) {
    support::TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "bin");
    std::filesystem::create_directories(folder.Path() / "Data");
    common::SettableClock clock(common::EncodeDate(2026, 12, 6) + common::EncodeTime(8, 30, 0, 0));
    support::RecordingDialogs dialogs;
    const std::string ini = (folder.Path() / "bin" / "Registrator.INI").string();
    const std::string binary("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10", 20);
    support::WriteFileBytes(ini, binary);
    {
        Station station(support::FolderEnvironment(clock, dialogs, folder));
        support::StartStation(station);
        EXPECT_EQ(dialogs.Boxes,
                  QStringList{QString::fromStdString(
                      "message: Не удаётся прочитать файл настроек " + ini +
                      ": он не текстовый или в неизвестной кодировке. Всем каналам даны значения по "
                      "умолчанию. Прежний файл сохранён без изменений как " +
                      ini + ".unreadable-2026-12-06, программа запишет новый.")});
        // What /health and the Modbus status count.
        EXPECT_EQ(station.Boxes().Count(), 1u);
        EXPECT_EQ(station.Data().Ustavki[1].T_Nom, 560);
        support::EndStation(station);
    }
    EXPECT_EQ(ReadFileBytes(ini + ".unreadable-2026-12-06"), binary);
    const std::string saved = ReadFileBytes(ini);
    EXPECT_EQ(saved.rfind("[Ustavki1]\r\nName=1\r\nKoof_K=50\r\n", 0), 0u);
    EXPECT_EQ(saved.find('\0'), std::string::npos);
}

} // namespace
} // namespace registrator::service
