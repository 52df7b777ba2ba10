#include "integration/JournalQueue.h"

#include "events/EventJournal.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace registrator::integration {
namespace {

using support::ReadFileBytes;
using support::WriteFileBytes;

const common::TDateTime kDay = common::EncodeDate(2026, 12, 9);
const common::TDateTime kLater = kDay + 30; // the clock's day, after every file's

events::Event StartAt(int minute) {
    events::Event event;
    event.Time = kDay + common::EncodeTime(0, minute, 0, 0);
    event.Channel = 1 + minute;
    return event;
}

// The journal as the writer leaves it, read as a queue: ended lines only, counted after the header, a
// line being written left until it ends, and a day left only for a later one, its torn end said once.
TEST(JournalQueue, ReadsEndedLinesInOrderAndLeavesADayOnlyForALaterOne) {
    support::TempFolder folder;
    channels::ChannelData data;
    events::EventJournal journal(folder.Slash());
    for (int minute = 0; minute < 3; ++minute)
        ASSERT_TRUE(journal.Append(StartAt(minute), data));
    const std::string path = journal.PathFor(kDay);
    WriteFileBytes(path, ReadFileBytes(path) + "09.12.2026 00:03:00;пу");
    JournalQueue queue(folder.Slash());

    auto step = queue.Read({kDay, 1}, 10, kLater);
    ASSERT_EQ(step.Lines.size(), 2u);
    EXPECT_EQ(step.Lines[0].first, (RecordKey{kDay, 1}));
    EXPECT_EQ(step.Lines[1].second, events::JournalLine(StartAt(2), data));
    EXPECT_EQ(step.Next, (RecordKey{kDay, 3}));
    step = queue.Read(step.Next, 10, kLater);
    EXPECT_TRUE(step.Lines.empty());
    EXPECT_FALSE(step.Gap);
    EXPECT_EQ(step.Next, (RecordKey{kDay, 3}));

    WriteFileBytes(path, ReadFileBytes(path) + "ск;;;;;;;\r\n");
    step = queue.Read(step.Next, 10, kLater);
    ASSERT_EQ(step.Lines.size(), 1u);
    EXPECT_EQ(step.Lines[0].first, (RecordKey{kDay, 3}));
    EXPECT_EQ(step.Lines[0].second, "09.12.2026 00:03:00;пуск;;;;;;;");

    // Any later file will do: the day file of the next day.
    WriteFileBytes(path, ReadFileBytes(path) + "09.12.2026 23:59:59;ост");
    step = queue.Read(step.Next, 10, kLater);
    EXPECT_TRUE(step.Lines.empty());
    EXPECT_FALSE(step.Gap);
    WriteFileBytes(folder.File("10.12.2026.txt"), "");
    step = queue.Read(step.Next, 10, kLater);
    ASSERT_TRUE(step.Gap);
    EXPECT_EQ(step.Gap->From, (RecordKey{kDay, 4}));
    EXPECT_EQ(step.Gap->Missing, 1u);
    EXPECT_EQ(step.Next, (RecordKey{kDay + 1, 0}));
    step = queue.Read(step.Next, 10, kLater);
    EXPECT_FALSE(step.Gap) << "a day with no journal yet is no gap";
    EXPECT_EQ(step.Next, (RecordKey{kDay + 1, 0}));

    // A cursor past a journal's end: said from where it ends, and nothing sent again.
    step = queue.Read({kDay, 9}, 10, kLater);
    ASSERT_TRUE(step.Gap);
    EXPECT_EQ(step.Gap->From, (RecordKey{kDay, 4}));
    EXPECT_TRUE(step.Lines.empty());
}

// Without it, the rest of a day's journal after a clock set forward and back was never sent.
TEST(JournalQueue, APlaceAheadOfTheJournalsIsSaidAndTheLinesThatExistAreSent) {
    support::TempFolder folder;
    channels::ChannelData data;
    events::EventJournal journal(folder.Slash());
    ASSERT_TRUE(journal.Append(StartAt(0), data));
    JournalQueue queue(folder.Slash());
    auto step = queue.Read({kDay, 0}, 10, kDay);
    events::Event ahead = StartAt(1);
    ahead.Time += 1;
    ASSERT_TRUE(journal.Append(ahead, data));
    step = queue.Read(step.Next, 10, kDay + 1);
    ASSERT_EQ(step.Lines.size(), 1u);
    ASSERT_TRUE(journal.Append(StartAt(2), data));
    EXPECT_EQ(queue.Waiting(step.Next, kDay), 2u) << "the new line, and the later day's again";
    step = queue.Read(step.Next, 10, kDay);
    ASSERT_TRUE(step.Gap);
    EXPECT_EQ(step.Gap->From, (RecordKey{kDay, 1}));
    step = queue.Read(step.Next, 10, kDay);
    ASSERT_EQ(step.Lines.size(), 1u);
    EXPECT_EQ(step.Lines[0].second, events::JournalLine(StartAt(2), data));

    // Past the end of the newest journal: sent from its first line.
    step = queue.Read({kDay, 9}, 10, kDay);
    ASSERT_TRUE(step.Gap);
    EXPECT_NE(step.Gap->Reason.find("09.12.2026.events.csv holds fewer lines"), std::string::npos);
    EXPECT_EQ(queue.Read(step.Next, 10, kDay).Lines.size(), 2u);
}

} // namespace
} // namespace registrator::integration
