#include "channels/SettingsFile.h"
#include "events/ActiveAlarms.h"
#include "events/CalibrationAudit.h"
#include "support/TempFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <tuple>

namespace registrator::events {
namespace {

const common::TDateTime kNoon = common::EncodeDate(2026, 12, 9) + common::EncodeTime(12, 0, 0, 0);

Event At(int second, EventKind kind, int channel, bool alarm) {
    Event event;
    event.Time = kNoon + second / 86400.0;
    event.Kind = kind;
    event.Channel = channel;
    event.Alarm = alarm;
    return event;
}

// An alarm leaves the list only once cleared and acknowledged, in either order; a long start waits
// only for the acknowledgement; an overload back before its acknowledgement takes its old entry.
TEST(ActiveAlarms, StayUntilClearedAndAcknowledged) {
    ActiveAlarms alarms;
    EXPECT_FALSE(alarms.Follow(At(0, EventKind::StartBegan, 3, false)));
    EXPECT_TRUE(alarms.Follow(At(1, EventKind::OverloadBegan, 3, true)));
    EXPECT_TRUE(alarms.Follow(At(2, EventKind::LongStart, 7, true)));
    EXPECT_TRUE(alarms.Follow(At(3, EventKind::ConverterStuck, 9, true)));
    ASSERT_EQ(alarms.List().size(), 3u);
    EXPECT_EQ(alarms.List().front().Channel, 9); // newest first
    EXPECT_EQ(alarms.ActiveCount(), 2);          // the long start is over at once
    EXPECT_EQ(alarms.UnacknowledgedCount(), 3);

    // Cleared first: it waits for the operator.
    EXPECT_TRUE(alarms.Follow(At(4, EventKind::OverloadEnded, 3, false)));
    EXPECT_FALSE(alarms.Follow(At(5, EventKind::OverloadEnded, 4, false))); // another motor's
    EXPECT_EQ(alarms.List().size(), 3u);
    // Back before acknowledged: the same entry, active again from its new time.
    EXPECT_TRUE(alarms.Follow(At(6, EventKind::OverloadBegan, 3, true)));
    ASSERT_EQ(alarms.List().size(), 3u);
    EXPECT_TRUE(alarms.List().front().Active);
    EXPECT_EQ(alarms.List().front().Since, At(6, EventKind::OverloadBegan, 3, true).Time);

    // Acknowledged while active: it stays until it clears.
    std::vector<Event> acks = alarms.Acknowledge(EventKind::OverloadBegan, 3, kNoon + 7 / 86400.0);
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].Kind, EventKind::Acknowledged);
    EXPECT_EQ(acks[0].Channel, 3);
    EXPECT_EQ(acks[0].Text, "перегрузка с 12:00:06");
    EXPECT_TRUE(alarms.Acknowledge(EventKind::OverloadBegan, 3, kNoon).empty()); // not twice
    EXPECT_EQ(alarms.List().size(), 3u);
    EXPECT_EQ(alarms.Loudest()->Channel, 9);
    alarms.Follow(At(8, EventKind::OverloadEnded, 3, false));
    EXPECT_EQ(alarms.List().size(), 2u);

    // All at once, oldest first; the cleared long start goes, the stuck converter stays active.
    acks = alarms.AcknowledgeAll(kNoon + 9 / 86400.0);
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(acks[0].Channel, 7);
    EXPECT_EQ(acks[1].Channel, 9);
    ASSERT_EQ(alarms.List().size(), 1u);
    EXPECT_EQ(alarms.Loudest(), nullptr);
    EXPECT_EQ(alarms.UnacknowledgedCount(), 0);
    EXPECT_EQ(alarms.ActiveCount(), 1);
    alarms.Follow(At(10, EventKind::ConverterFreed, 9, false));
    EXPECT_TRUE(alarms.List().empty());
}

TEST(CalibrationAudit, NamesEachChangedFieldWithOldAndNewValues) {
    channels::TUstavka before = channels::DefaultUstavka(5);
    before.Name = common::MotorName::FromUtf8("Пресс");
    before.Koof_K = 1;
    before.T_Nom = 100;
    channels::TUstavka after = before;
    EXPECT_FALSE(CalibrationChange(kNoon, 5, before, after));
    after.Name = common::MotorName::FromUtf8("Пресс 2");
    after.Koof_K = 1.25;
    after.T_Nom = 120;
    after.Oborot = before.Oborot + 3;
    const auto event = CalibrationChange(kNoon, 5, before, after);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->Kind, EventKind::CalibrationChanged);
    EXPECT_EQ(event->Channel, 5);
    EXPECT_EQ(event->Text, "название: «Пресс» → «Пресс 2»; k: 1 → 1,25; Ток ном.: 100 → 120; Ток откл.: " +
                               std::to_string(before.Oborot) + " → " + std::to_string(after.Oborot));
    // The scan timing window's apply alike.
    EXPECT_FALSE(ScanTimingChange(kNoon, {10, 1000, 5}, {10, 1000, 5}));
    EXPECT_EQ(ScanTimingChange(kNoon, {10, 1000, 5}, {20, 1000, 3})->Text,
              "скорость сканирования: 10 мс → 20 мс, среднее арифметическое: 5 → 3");
}

// Without the fix an alarm named its motor by the panel's caption lines ("Ковейер Т1"), so a renamed
// motor kept its old name, and the line led with the name and let the window cut off since when and
// how many more.
TEST(AlarmTexts, NameTheMotorByItsSettingsAndLeadTheLineWithTimeAndCount) {
    channels::UstavkiTable ustavki{};
    ustavki[5].Name = common::MotorName::FromUtf8("Конвейер подачи");
    ustavki[6].Name = common::MotorName::FromUtf8("  ");
    ustavki[7].Name = common::MotorName::FromUtf8("Вытягиватель из печи сушильной камеры");
    Alarm alarm;
    alarm.Channel = 5;
    alarm.Since = kNoon + 5 / 86400.0;
    for (const auto& [channel, more, line] : std::vector<std::tuple<int, int, std::string>>{
             {5, 0, "с 12:00:05 · перегрузка: 5 — Конвейер подачи"},
             {5, 3, "с 12:00:05 · ещё 3 тревоги · перегрузка: 5 — Конвейер подачи"},
             {6, 11, "с 12:00:05 · ещё 11 тревог · перегрузка: канал 6"},
             {7, 21, "с 12:00:05 · ещё 21 тревога · перегрузка: 7 — Вытягиватель из печ…"}}) {
        alarm.Channel = channel;
        EXPECT_EQ(AlarmLineText(alarm, more, ustavki), line);
    }
}

// The start window is a key of our own: read where set, the default elsewhere, and kept as it stands
// by a save of the channel settings.
TEST(StartWindows, ReadFromTheirOwnKeyAndKeptBySaves) {
    support::TempFolder folder;
    const std::string path = folder.File("Registrator.INI");
    std::ofstream(path) << "[Ustavki2]\r\nT_Nom=90\r\nStartWindow=25,5\r\n[Ustavki3]\r\nStartWindow=abc\r\n"
                           "[Ustavki4]\r\nStartWindow=-1\r\n";
    channels::SettingsFile file(path, common::RegionalSettings{});
    channels::UstavkiTable table{};
    file.LoadAll(table);
    EXPECT_EQ(table[2].T_Nom, 90);
    file.SaveAll(table);
    const auto windows = file.ReadStartWindows(10);
    EXPECT_EQ(windows[1], 10);
    EXPECT_EQ(windows[2], 25.5);
    EXPECT_EQ(windows[3], 10);
    EXPECT_EQ(windows[4], 10);
}

} // namespace
} // namespace registrator::events
