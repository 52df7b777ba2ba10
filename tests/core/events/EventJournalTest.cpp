#include "events/EventJournal.h"

#include "archive/ArchiveRecords.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace registrator::events {
namespace {

using support::ReadFileBytes;
using support::WriteFileBytes;

// What a spreadsheet under Russian settings opens as it is, appended line by line, a day to a file,
// and a line torn by a power cut cut off before the next one is written.
TEST(EventJournal, AppendsDayFilesASpreadsheetOpensAndCutsOffATornLine) {
    support::TempFolder folder;
    channels::ChannelData data;
    data.Ustavki[13].Name = common::MotorName::FromUtf8("Рыхлитель; питатель");
    const common::TDateTime day = common::EncodeDate(2026, 12, 9);
    Event overload;
    overload.Time = day + common::EncodeTime(14, 3, 7, 0);
    overload.Kind = EventKind::OverloadEnded;
    overload.Channel = 13;
    overload.Peak = 412.46;
    overload.Seconds = 7.5;
    {
        EventJournal journal(folder.Slash());
        ASSERT_TRUE(journal.Append(overload, data));
        Event started;
        started.Time = day + 1 + common::EncodeTime(0, 0, 1, 0);
        started.Kind = EventKind::ProgramStarted;
        started.Text = "после сбоя";
        ASSERT_TRUE(journal.Append(started, data));
    }
    const std::string today = folder.File("09.12.2026.events.csv");
    EXPECT_EQ(ReadFileBytes(today), std::string("\xEF\xBB\xBF") + EventJournal::kHeader +
                                        "\r\n09.12.2026 14:03:07;перегрузка снята;13;Формовка А;"
                                        "Рыхлитель  питатель;412,5;7,5;;\r\n");
    EXPECT_EQ(EventJournal::Read(folder.File("10.12.2026.events.csv")),
              (std::vector<JournalEntry>{{.Time = day + 1 + common::EncodeTime(0, 0, 1, 0),
                                          .Kind = EventKind::ProgramStarted,
                                          .Details = "после сбоя"}}));

    WriteFileBytes(today, ReadFileBytes(today) + "09.12.2026 14:05:00;пус");
    EXPECT_EQ(EventJournal::Read(today).size(), 1u) << "a torn line is no event";
    EventJournal journal(folder.Slash());
    overload.Time += 1.0 / 1440;
    ASSERT_TRUE(journal.Append(overload, data));
    const auto lines = EventJournal::Read(today);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(JournalTimeText(lines[1].Time.value_or(0)), "09.12.2026 14:04:07");

    // Torn on a day the program will not write again: the next start cuts it off all the same.
    const std::string tomorrow = folder.File("10.12.2026.events.csv");
    const std::string whole = ReadFileBytes(tomorrow);
    WriteFileBytes(tomorrow, whole + "10.12.2026 00:00:02;перегр");
    RepairNewestJournal(folder.Slash());
    EXPECT_EQ(ReadFileBytes(tomorrow), whole);
}

// One reading of a line for the window, the web view, MQTT and the tool: what was written comes back
// typed, a kind a later version adds keeps its text, a ';' in the details stays in them, and what a
// short or damaged line lacks stays empty.
TEST(EventJournal, ALineReadsBackTypedAndKeepsWhatALaterVersionWrote) {
    channels::ChannelData data;
    data.Ustavki[13].Name = common::MotorName::FromUtf8("Рыхлитель");
    const common::TDateTime at = common::EncodeDate(2026, 12, 9) + common::EncodeTime(14, 3, 7, 0);
    const Event overload{.Time = at,
                         .Kind = EventKind::OverloadEnded,
                         .Channel = 13,
                         .Peak = 412.46,
                         .Seconds = 7.5,
                         .Alarm = true,
                         .Text = {}};
    EXPECT_EQ(ReadJournalLine(JournalLine(overload, data)), (JournalEntry{.Time = at,
                                                                          .Kind = EventKind::OverloadEnded,
                                                                          .Channel = 13,
                                                                          .Section = "Формовка А",
                                                                          .Motor = "Рыхлитель",
                                                                          .Peak = 412.5,
                                                                          .Seconds = 7.5,
                                                                          .Alarm = true}));

    const JournalEntry later =
        ReadJournalLine("09.12.2026 14:05:00;пробуксовка;7;Формовка А;M7;;0,0;да;лента; вал");
    EXPECT_FALSE(later.Kind);
    EXPECT_EQ(later.KindText(), "пробуксовка");
    EXPECT_EQ(later.Seconds, 0.0);
    EXPECT_EQ(later.Details, "лента; вал");

    EXPECT_EQ(ReadJournalLine("32.12.2026 25:00:00;пуск;1,5"), JournalEntry{.Kind = EventKind::StartBegan});
}

// A start after a kill or a power cut says so, with the last record's time and the gap; a start after an
// orderly end, or the first ever, says nothing.
TEST(EventJournal, AStartAfterAnUnorderlyEndSaysWhenTheLastRecordWas) {
    support::TempFolder folder;
    const common::TDateTime day = common::EncodeDate(2026, 12, 9);
    const common::TDateTime now = day + common::EncodeTime(10, 1, 0, 0);
    EXPECT_EQ(PreviousEndNote(folder.Slash(), now), "");
    archive::TArhivRec records[2];
    records[0].Time = common::EncodeTime(10, 0, 0, 0);
    records[1].Time = common::EncodeTime(10, 0, 1, 0);
    WriteFileBytes(folder.File("09.12.2026.txt"),
                   std::string(reinterpret_cast<const char*>(records), sizeof records));
    channels::ChannelData data;
    EventJournal journal(folder.Slash());
    Event event;
    event.Time = day + common::EncodeTime(9, 0, 0, 0);
    event.Kind = EventKind::ProgramStarted;
    ASSERT_TRUE(journal.Append(event, data));
    EXPECT_EQ(PreviousEndNote(folder.Slash(), now),
              "после сбоя: последняя запись 09.12.2026 10:00:01, перерыв 59 с");
    event.Kind = EventKind::ProgramEnded;
    ASSERT_TRUE(journal.Append(event, data));
    EXPECT_EQ(PreviousEndNote(folder.Slash(), now), "");
}

} // namespace
} // namespace registrator::events
