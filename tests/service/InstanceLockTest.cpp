#include "ServiceTestSupport.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <filesystem>
#include <gtest/gtest.h>

namespace registrator::service {
namespace {

// A lock left by a killed recorder whose process id the system has since given to another running
// recorder (of another folder) was taken as held: the folder could not be recorded into again until
// that other recorder ended. A lock whose holder lives is never taken over, even by its own process.
TEST(InstanceLock, TakesOverALeftLockWhoseIdNowNamesAnotherRecorderButNeverALiveOne) {
    common::SystemClock clock;
    support::TempFolder folders[2];
    for (const auto& folder : folders)
        for (const char* sub : {"bin", "Data"})
            std::filesystem::create_directories(folder.Path() / sub);
    support::RecordingDialogs dialogs[3];
    Station first(support::FolderEnvironment(clock, dialogs[0], folders[0]));
    ASSERT_TRUE(support::StartStation(first));
    // What a killed recorder leaves in its folder, had its id gone to this process since.
    std::filesystem::copy_file(folders[0].Path() / "Data/registrator.lock",
                               folders[1].Path() / "Data/registrator.lock");
    Station second(support::FolderEnvironment(clock, dialogs[1], folders[1]));
    EXPECT_TRUE(support::StartStation(second)) << dialogs[1].Boxes.join(QLatin1Char('|')).toStdString();

    Station third(support::FolderEnvironment(clock, dialogs[2], folders[0]));
    EXPECT_FALSE(support::StartStation(third));
    EXPECT_TRUE(dialogs[2]
                    .Boxes.join(QLatin1Char('|'))
                    .contains(QStringLiteral("(процесс %1)").arg(QCoreApplication::applicationPid())));
    support::EndStation(second);
    support::EndStation(first);
}

} // namespace
} // namespace registrator::service
