#include "archive/Archive.h"
#include "channels/SettingsFile.h"
#include "events/EventJournal.h"
#include "history/DigestStore.h"
#include "integration/DayFileQueue.h"
#include "integration/JournalQueue.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace registrator {
namespace {

// Release 0.1's files, byte for byte, never written again: that program ran headless on the simulated
// plant with scripts/demo-settings.sh's settings on 14.03.2025 from 10:15:00 for 19 records, publishing
// to a broker that went away after 9 records and 57 journal lines (its end line says so); its history
// code then made the day's digest. A later version must take every one of them up where it stood.
TEST(ReleaseFiles, EveryFileOfTheLastReleaseIsReadAsItWasWritten) {
    support::TempFolder station;
    std::filesystem::copy(std::filesystem::path(REGISTRATOR_TEST_DATA) / "release-0.1", station.Path(),
                          std::filesystem::copy_options::recursive);
    const std::string data = station.Slash() + "Data/";
    const common::TDateTime day = common::EncodeDate(2025, 3, 14);
    common::SettableClock clock{day + common::EncodeTime(10, 16, 0, 0)};
    support::RecordingMessages messages;

    channels::UstavkiTable settings; // written under the C locale: decimal points
    ASSERT_EQ(channels::SettingsFile(station.File("Registrator.INI"), {'.', "dd.MM.yyyy", "H:mm:ss"})
                  .LoadAll(settings),
              channels::SettingsLoad::Read);
    archive::Archive archive(data, clock, messages);
    archive.ReadUst("14.03.2025");
    archive.ReadArhiv("14.03.2025");
    EXPECT_TRUE(messages.Texts.empty());
    EXPECT_EQ(settings[1].Name.Utf8(), "Рыхлитель питателя 710");
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const archive::TUstRec& snapshot = archive.UstBuf[static_cast<std::size_t>(n - 1)];
        EXPECT_TRUE(std::string_view(snapshot.Name, snapshot.NameLength) == settings[n].Name.Cp1251() &&
                    settings[n].T_Nom == 80 + (n * 37) % 220 && snapshot.T_Nom == settings[n].T_Nom)
            << n;
    }
    ASSERT_EQ(archive.ArhivCount, 19u);

    const auto journal = events::EventJournal::ReadFile(data + "14.03.2025.events.csv");
    ASSERT_TRUE(journal.Header && journal.Lines.size() == 121 && journal.TornBytes == 0);
    for (const events::JournalEntry& line : journal.Lines)
        EXPECT_TRUE(line.Time && line.Kind) << "a line this version cannot place: " << line.KindText();
    EXPECT_EQ(journal.Lines.back().Details,
              "MQTT: не отправлено записей 10, строк журнала 63, уйдут при следующем запуске, имитация");
    // The cursors leave what that line says, and the end line itself, to be published.
    const auto records = integration::LoadPublishCursor(data + "mqtt-127.0.0.1-18830.cursor");
    const auto lines = integration::LoadPublishCursor(data + "mqtt-127.0.0.1-18830.events.cursor");
    ASSERT_TRUE(records && lines);
    EXPECT_EQ(integration::DayFileQueue(data).Waiting(*records, day), 10u);
    EXPECT_EQ(integration::JournalQueue(data).Waiting(*lines, day), 63u + 1);

    // The digest is believed as it is, not made again, and agrees with the day file.
    history::Workspace work;
    const history::ArchiveHistory history(data, settings);
    auto opened = history.OpenDay(day, history::Need::Seconds, false, work);
    ASSERT_TRUE(opened.View && !opened.Built) << opened.Error;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        std::vector<history::DigestEntry> minutes;
        ASSERT_TRUE(opened.View->Minutes(n, minutes));
        const history::DigestEntry& minute = minutes.at(10 * 60 + 15);
        std::vector<double> tok;
        for (std::uint32_t k = 0; k < archive.ArhivCount; ++k)
            tok.push_back(archive.ArhivBuf[k].Tok[n - 1]);
        EXPECT_EQ(minute.Records, tok.size()) << n;
        EXPECT_EQ(minute.Min, *std::min_element(tok.begin(), tok.end())) << n;
        EXPECT_EQ(minute.Max, *std::max_element(tok.begin(), tok.end())) << n;
    }
}

} // namespace
} // namespace registrator
