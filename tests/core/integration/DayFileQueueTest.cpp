#include "integration/DayFileQueue.h"

#include "archive/RecordFiles.h"
#include "events/EventJournal.h"
#include "support/TempFolder.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>

namespace registrator::integration {
namespace {

const common::TDateTime kMonday = common::EncodeDate(2026, 12, 7);
const common::TDateTime kTuesday = kMonday + 1;
const common::TDateTime kWednesday = kMonday + 2;
const common::TDateTime kLater = kMonday + 30; // the clock's day, after every file's

void WriteDay(const support::TempFolder& folder, common::TDateTime day, int records, int tornBytes = 0) {
    std::ofstream out(folder.Slash() + common::ArchiveDateText(day) + ".txt", std::ios::binary);
    for (int i = 0; i < records; ++i) {
        archive::TArhivRec record;
        record.Time = i / 86400.0;
        record.Tok[0] = day * 1000 + i; // which record of which day it is
        out.write(reinterpret_cast<const char*>(&record), sizeof record);
    }
    out << std::string(static_cast<std::size_t>(tornBytes), 'x');
}

// The files are the queue: read in order across days, a day left only once a later one has begun,
// and whatever can never be sent said once as a gap.
TEST(DayFileQueue, ReadsDayAfterDayAndReportsWhatIsLostOnce) {
    support::TempFolder folder;
    WriteDay(folder, kMonday, 3, 100); // a power cut tore its last record
    WriteDay(folder, kTuesday, 2);
    std::ofstream(folder.Slash() + common::ArchiveDateText(kTuesday) + "UST.txt") << "snapshot";
    DayFileQueue queue(folder.Slash());
    EXPECT_EQ(queue.Waiting({kMonday, 1}, kLater), 4u);

    auto step = queue.Read({kMonday, 1}, 10, kLater);
    ASSERT_EQ(step.Records.size(), 2u);
    EXPECT_EQ(step.Records[0].first, (RecordKey{kMonday, 1}));
    EXPECT_EQ(step.Records[1].second.Tok[0], kMonday * 1000 + 2);
    EXPECT_FALSE(step.Gap);

    step = queue.Read(step.Next, 10, kLater);
    ASSERT_TRUE(step.Gap);
    EXPECT_EQ(step.Gap->From, (RecordKey{kMonday, 3}));
    EXPECT_EQ(step.Gap->Missing, 1u);
    EXPECT_TRUE(step.Records.empty());
    EXPECT_EQ(step.Next, (RecordKey{kTuesday, 0}));

    step = queue.Read(step.Next, 1, kLater);
    ASSERT_EQ(step.Records.size(), 1u);
    step = queue.Read(step.Next, 10, kLater);
    ASSERT_EQ(step.Records.size(), 1u);
    EXPECT_EQ(step.Records[0].second.Tok[0], kTuesday * 1000 + 1);
    // The newest day is never left: its next record may come any second.
    step = queue.Read(step.Next, 10, kLater);
    EXPECT_TRUE(step.Records.empty());
    EXPECT_FALSE(step.Gap);
    EXPECT_EQ(step.Next, (RecordKey{kTuesday, 2}));
    WriteDay(folder, kTuesday, 3);
    EXPECT_EQ(queue.Read(step.Next, 10, kLater).Records.size(), 1u);

    // A cursor into a day file since removed: a gap, then the next day from its start.
    step = queue.Read({kMonday - 3, 7}, 10, kLater);
    ASSERT_TRUE(step.Gap);
    EXPECT_NE(step.Gap->Reason.find("04.12.2026.txt is gone"), std::string::npos) << step.Gap->Reason;
    EXPECT_EQ(step.Next, (RecordKey{kMonday, 0}));
    // A day that was never recorded is no gap.
    WriteDay(folder, kWednesday + 1, 1);
    step = queue.Read({kWednesday, 0}, 10, kLater);
    EXPECT_FALSE(step.Gap);
    EXPECT_EQ(step.Records.size(), 1u);
}

testing::AssertionResult Says(const std::optional<QueueGap>& gap, const std::string& words) {
    if (!gap)
        return testing::AssertionFailure() << "no gap";
    if (gap->Reason.find(words) == std::string::npos)
        return testing::AssertionFailure() << gap->Reason;
    return testing::AssertionSuccess();
}

// Without these, a cursor ahead of the files stopped publishing for good, with nothing said and 0
// records waiting.
TEST(DayFileQueue, APlaceAheadOfTheFilesIsSaidOnceAndTheRecordsThatExistAreSent) {
    support::TempFolder folder;
    DayFileQueue queue(folder.Slash());
    // The clock set a day forward and back: the records written after it came back are sent.
    WriteDay(folder, kMonday, 3);
    auto step = queue.Read({kMonday, 0}, 10, kMonday);
    WriteDay(folder, kTuesday, 2);
    step = queue.Read(step.Next, 10, kTuesday);
    ASSERT_EQ(step.Records.size(), 2u);
    WriteDay(folder, kMonday, 5);
    EXPECT_EQ(queue.Waiting(step.Next, kMonday), 4u) << "Monday's two new, Tuesday's two again";
    step = queue.Read(step.Next, 10, kMonday);
    EXPECT_TRUE(Says(step.Gap, "the cursor is at 08.12.2026, a day the clock has not reached"));
    step = queue.Read(step.Next, 10, kMonday);
    ASSERT_EQ(step.Records.size(), 2u);
    EXPECT_EQ(step.Records[0].second.Tok[0], kMonday * 1000 + 3);
    step = queue.Read(step.Next, 10, kMonday);
    EXPECT_FALSE(step.Gap) << "Tuesday's file is not entered before Tuesday";
    EXPECT_EQ(step.Next, (RecordKey{kMonday, 5}));
    // A queue that never left Monday (a restart) sends it again from its first record.
    EXPECT_EQ(DayFileQueue(folder.Slash()).Read({kMonday + 400, 9}, 10, kMonday).Next,
              (RecordKey{kMonday, 0}));

    // Today's file begun again after it was deleted, shorter than the cursor: its records are sent.
    EXPECT_EQ(queue.Waiting({kTuesday, 50}, kTuesday), 2u);
    step = queue.Read({kTuesday, 50}, 10, kTuesday);
    EXPECT_TRUE(Says(step.Gap, "it is sent again from its first record"));
    EXPECT_EQ(queue.Read(step.Next, 10, kTuesday).Records.size(), 2u);
    // Deleted and not yet begun again: said at once, and its first records are not skipped.
    step = queue.Read({kWednesday, 7}, 10, kWednesday);
    EXPECT_TRUE(Says(step.Gap, "the day file 09.12.2026.txt is gone"));
    WriteDay(folder, kWednesday, 1);
    EXPECT_EQ(queue.Read(step.Next, 10, kWednesday).Records.size(), 1u);
    // A negative cursor is past any end.
    const std::string path = folder.Slash() + "mqtt-broker-1883.cursor";
    std::ofstream(path) << "08.12.2026 -3\n";
    step = queue.Read(*LoadPublishCursor(path), 10, kTuesday);
    EXPECT_TRUE(Says(step.Gap, "08.12.2026.txt holds fewer records"));
    EXPECT_EQ(step.Next, (RecordKey{kTuesday, 0}));
}

TEST(DayFileQueue, TheCursorSurvivesAsTextAndRefusesWhatIsNotOne) {
    support::TempFolder folder;
    const std::string path = folder.Slash() + "mqtt-broker-1883.cursor";
    EXPECT_FALSE(LoadPublishCursor(path));
    ASSERT_TRUE(SavePublishCursor(path, {kTuesday, 86399}));
    EXPECT_EQ(LoadPublishCursor(path), (RecordKey{kTuesday, 86399}));
    std::ofstream(path) << "31.02.2026 5\n";
    EXPECT_FALSE(LoadPublishCursor(path));
}

#ifndef _WIN32
// Berlin's time zone for one test, whatever the machine's is.
class InBerlin {
public:
    InBerlin() : saved_(std::getenv("TZ") != nullptr), before_(saved_ ? std::getenv("TZ") : "") {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    ~InBerlin() {
        if (saved_)
            setenv("TZ", before_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool saved_;
    std::string before_;
};

// The time of a record as a consumer reads it: local time with the offset in force on that day.
TEST(MqttMessages, RecordsCarryTheirPlaceAndLocalTimeWithItsOffset) {
    const InBerlin zone;
    EXPECT_EQ(IsoLocalTime(common::EncodeDate(2026, 12, 9), common::EncodeTime(14, 3, 7, 250)),
              "2026-12-09T14:03:07.250+01:00");
    EXPECT_EQ(IsoLocalTime(common::EncodeDate(2026, 7, 1), common::EncodeTime(0, 0, 0, 5)),
              "2026-07-01T00:00:00.005+02:00");
    archive::TArhivRec record;
    record.Time = common::EncodeTime(23, 59, 59, 0);
    record.Tok[0] = 12.5;
    record.Tok[71] = 1.0 / 3;
    const std::string json = RecordJson("цех \"2\"", {kTuesday, 17}, record, true);
    EXPECT_EQ(json.rfind("{\"station\":\"цех \\\"2\\\"\",\"day\":\"08.12.2026\",\"index\":17,"
                         "\"time\":\"2026-12-08T23:59:59.000+01:00\",\"current\":[12.5,0,",
                         0),
              0u)
        << json;
    EXPECT_NE(json.find(",0.3333333333333333],\"historical\":true}"), std::string::npos) << json;
}

// A journal line as the writer leaves it, as a consumer gets it: its place, the time as records give
// it, the Russian texts as written, figures as numbers, and null for what the line has not.
TEST(MqttMessages, JournalLinesCarryTheirPlaceTimeAndFigures) {
    const InBerlin zone;
    channels::ChannelData data;
    data.Ustavki[14].Name = common::MotorName::FromUtf8("Насос \"2\"");
    events::Event overload;
    overload.Time = kWednesday + 1 + common::EncodeTime(14, 3, 7, 0);
    overload.Kind = events::EventKind::OverloadEnded;
    overload.Channel = 14;
    overload.Peak = 1149;
    overload.Seconds = 3.5;
    overload.Alarm = true;
    EXPECT_EQ(
        EventJson("st", {kWednesday + 1, 5}, events::JournalLine(overload, data)),
        "{\"station\":\"st\",\"day\":\"10.12.2026\",\"line\":5,\"time\":\"2026-12-10T14:03:07.000+01:00\","
        "\"kind\":\"перегрузка снята\",\"channel\":14,\"section\":\"Формовка А\",\"motor\":\"Насос "
        "\\\"2\\\"\","
        "\"peak\":1149,\"seconds\":3.5,\"alarm\":true,\"text\":\"\"}");
    events::Event started;
    started.Time = kMonday + common::EncodeTime(0, 0, 1, 0);
    started.Kind = events::EventKind::ProgramStarted;
    started.Text = "после сбоя";
    EXPECT_EQ(
        EventJson("st", {kMonday, 0}, events::JournalLine(started, data)),
        "{\"station\":\"st\",\"day\":\"07.12.2026\",\"line\":0,\"time\":\"2026-12-07T00:00:01.000+01:00\","
        "\"kind\":\"запуск программы\",\"channel\":null,\"section\":null,\"motor\":null,\"peak\":null,"
        "\"seconds\":null,\"alarm\":false,\"text\":\"после сбоя\"}");
    // Whatever a line holds, the message stays JSON.
    EXPECT_EQ(
        EventJson("st", {kMonday, 1}, "32.12.2026 25:00:00;пуск;1,5"),
        "{\"station\":\"st\",\"day\":\"07.12.2026\",\"line\":1,\"time\":null,\"kind\":\"пуск\","
        "\"channel\":null,\"section\":null,\"motor\":null,\"peak\":null,\"seconds\":null,\"alarm\":false,"
        "\"text\":\"\"}");
}
#endif

} // namespace
} // namespace registrator::integration
