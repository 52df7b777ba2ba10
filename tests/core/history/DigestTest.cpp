#include "HistoryTestSupport.h"
#include "archive/ReadingsStream.h"
#include "history/DigestStore.h"
#include "history/PeriodQuery.h"
#include "monitor/PanelState.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace registrator::history {
namespace {

using namespace test;

// Channel 5's snapshot has its nominal current above its critical one, as the program's defaults do;
// channel 6's is not a number. Both take other ways through the classifier.
void WriteSnapshot(const ArchiveHistory& history, common::TDateTime day) {
    std::vector<archive::TUstRec> snapshot(archive::kUstRecCount);
    for (std::size_t k = 0; k < snapshot.size(); ++k) {
        snapshot[k].T_Nom = 100;
        snapshot[k].T_Max = 150;
    }
    snapshot[4].T_Nom = 120;
    snapshot[4].T_Max = 90;
    snapshot[5].T_Nom = std::nan("");
    ASSERT_FALSE(archive::WriteSnapshotFile(history.SnapshotPath(day), snapshot));
}

monitor::DaySummaries Summaries(const ArchiveHistory& history, common::TDateTime day) {
    archive::ReadingsStream stream(history.DayPath(day));
    monitor::DaySummaries out;
    monitor::SummarizeDay(
        [&](const auto& visit) {
            stream.Rewind();
            for (auto block = stream.Next(); !block.empty(); block = stream.Next())
                visit(block);
            return true;
        },
        history.MotorsOf(day).Motors, out);
    return out;
}

DigestEntry Totals(DayView& view, int channel) {
    std::vector<DigestEntry> minutes;
    EXPECT_TRUE(view.Minutes(channel, minutes));
    DigestEntry total;
    for (const DigestEntry& e : minutes)
        Merge(total, e);
    return total;
}

void ExpectTotalsOfSummary(const ArchiveHistory& history, common::TDateTime day, DayView& view) {
    const monitor::DaySummaries summaries = Summaries(history, day);
    for (int n = 1; n <= 72; ++n) {
        const monitor::MotorDaySummary& s = summaries[static_cast<std::size_t>(n - 1)];
        const DigestEntry total = Totals(view, n);
        EXPECT_NEAR(total.MsAboveCritical, s.OverloadedSeconds * 1000, 1.001) << "channel " << n;
        EXPECT_NEAR(total.MsAboveNominal, (s.OverloadedSeconds + s.AboveNominalSeconds) * 1000, 1.001) << n;
        EXPECT_NEAR(total.MsAboveOff, (s.OverloadedSeconds + s.AboveNominalSeconds + s.RunningSeconds) * 1000,
                    1.001)
            << n;
    }
}

TEST(Digest, MinutesAgreeWithTheirOwnDerivationAndTheDayWithTheDaySummary) {
    support::TempFolder folder;
    const ArchiveHistory history(folder.Slash(), Present());
    // Two hours of 1 s records, the recorder stopped for ten minutes, one more hour.
    auto records = Seconds(3600, 7200);
    Append(records, Seconds(3600 + 7800, 3600));
    WriteDay(history.DayPath(kDay1), records);
    WriteSnapshot(history, kDay1);

    Workspace work;
    auto opened = history.OpenDay(kDay1, Need::Seconds, false, work);
    ASSERT_TRUE(opened.View && opened.Built);
    const monitor::DayMotors motors = history.MotorsOf(kDay1);
    // Each record stands for one second of its own minute here (the last one before the stop and the
    // day's last one for one typical period), so a minute's milliseconds are 1000 per record above.
    for (const int n : {1, 3, 4, 5, 6}) {
        struct Own {
            std::uint32_t Records = 0;
            double Min = 1e300, Max = -1, Sum = 0;
            std::uint32_t Ms[3] = {};
        };
        std::map<int, Own> own;
        auto previous = monitor::PanelState::Off;
        for (const archive::TArhivRec& r : records) {
            Own& o = own[static_cast<int>(std::llround(r.Time * 86400)) / 60];
            const double v = r.Tok[n - 1];
            if (!(v >= 0 && v < 1e7))
                continue;
            ++o.Records;
            o.Min = std::min(o.Min, v);
            o.Max = std::max(o.Max, v);
            o.Sum += v;
            auto state = monitor::ClassifyReading(v, motors.Motors[n]);
            state = state == monitor::PanelState::Unchanged ? previous : state;
            previous = state;
            o.Ms[0] += state != monitor::PanelState::Off ? 1000 : 0;
            o.Ms[1] += state == monitor::PanelState::AboveNominal || state == monitor::PanelState::Overloaded
                           ? 1000
                           : 0;
            o.Ms[2] += state == monitor::PanelState::Overloaded ? 1000 : 0;
        }
        std::vector<DigestEntry> minutes;
        ASSERT_TRUE(opened.View->Minutes(n, minutes));
        for (int m = 0; m < kMinutesPerDay; ++m) {
            const DigestEntry& e = minutes[static_cast<std::size_t>(m)];
            const Own& o = own[m];
            ASSERT_EQ(e.Records, o.Records) << "channel " << n << " minute " << m;
            EXPECT_EQ(e.MsAboveOff, o.Ms[0]) << "channel " << n << " minute " << m;
            EXPECT_EQ(e.MsAboveNominal, o.Ms[1]) << "channel " << n << " minute " << m;
            EXPECT_EQ(e.MsAboveCritical, o.Ms[2]) << "channel " << n << " minute " << m;
            if (o.Records > 0) {
                EXPECT_EQ(e.Min, o.Min);
                EXPECT_EQ(e.Max, o.Max);
                EXPECT_NEAR(e.Mean, o.Sum / o.Records, 1e-9);
            }
        }
    }
    ExpectTotalsOfSummary(history, kDay1, *opened.View);

    // A day the summary finds harder: records between seconds, a clock set back, records without a
    // time of day, a record a little past three periods from the next.
    auto odd = Seconds(100, 500);
    for (std::size_t i = 0; i < odd.size(); i += 7)
        odd[i].Time += 0.4 * kSecond;
    Append(odd, Seconds(50, 300));
    odd[40].Time = std::nan("");
    odd[41].Time = 1.5;
    Append(odd, Seconds(2000, 1));
    Append(odd, Seconds(2003, 600));
    Append(odd, Seconds(86399, 1));
    const common::TDateTime day2 = kDay1 + 1;
    WriteDay(history.DayPath(day2), odd);
    opened = history.OpenDay(day2, Need::Seconds, false, work);
    ASSERT_TRUE(opened.View);
    ExpectTotalsOfSummary(history, day2, *opened.View);
    EXPECT_EQ(opened.View->Header().RunCount, 2u);
}

// Each minute and hour of channel n exactly as the records give them: records, band and mean.
void ExpectBandsOfRecords(DayView& view, const std::vector<archive::TArhivRec>& records, int n) {
    struct Band {
        std::uint32_t Records = 0;
        double Min = 0, Max = 0, Sum = 0;
    };
    std::vector<Band> minutes(kMinutesPerDay), hours(kHoursPerDay);
    for (const archive::TArhivRec& r : records) {
        const double v = r.Tok[n - 1];
        if (!monitor::IsPlausibleReading(v))
            continue;
        const auto minute = static_cast<std::size_t>(std::llround(r.Time * 86400)) / 60;
        for (Band* b : {&minutes[minute], &hours[minute / 60]}) {
            b->Min = b->Records > 0 ? std::min(b->Min, v) : v;
            b->Max = b->Records > 0 ? std::max(b->Max, v) : v;
            b->Sum += v;
            ++b->Records;
        }
    }
    std::vector<DigestEntry> got;
    for (const bool perMinute : {true, false}) {
        ASSERT_TRUE(perMinute ? view.Minutes(n, got) : view.Hours(n, got));
        const std::vector<Band>& want = perMinute ? minutes : hours;
        for (std::size_t i = 0; i < want.size(); ++i) {
            ASSERT_EQ(got[i].Records, want[i].Records)
                << "channel " << n << (perMinute ? " minute " : " hour ") << i;
            if (want[i].Records > 0) {
                EXPECT_EQ(got[i].Min, want[i].Min) << n << " " << i;
                EXPECT_EQ(got[i].Max, want[i].Max) << n << " " << i;
                EXPECT_EQ(got[i].Mean, std::clamp(want[i].Sum / want[i].Records, want[i].Min, want[i].Max))
                    << i;
            }
        }
    }
}

TEST(Digest, WholeAmperesAsTheRecorderStoresThemKeepADayInUnderOneAndAHalfMegabytes) {
    support::TempFolder folder;
    const ArchiveHistory history(folder.Slash(), Present());
    // Five hours of 1 s records in whole amperes, channel 3 with implausible readings among them.
    auto records = Seconds(20000, 5 * 3600);
    for (archive::TArhivRec& r : records)
        for (double& v : r.Tok)
            v = v >= 0 ? std::round(v) : v;
    WriteDay(history.DayPath(kDay1), records);
    // The next day a reading above what the compact form holds: that channel is written wide.
    auto high = records;
    high[5000].Tok[6] = 70000;
    WriteDay(history.DayPath(kDay1 + 1), high);

    Workspace work;
    for (const common::TDateTime day : {kDay1, kDay1 + 1}) {
        ASSERT_TRUE(history.OpenDay(day, Need::Seconds, false, work).Built);
        const std::string bytes = support::ReadFileBytes(history.DigestPath(day));
        DigestHeader header;
        std::memcpy(&header, bytes.data(), sizeof header);
        for (int n = 1; n <= kChannels; ++n)
            EXPECT_EQ(
                header.Blocks[n - 1].Form,
                static_cast<std::uint32_t>(day > kDay1 && n == 7 ? BlockForm::Wide : BlockForm::Compact))
                << n;
        if (day == kDay1) {
            EXPECT_LT(bytes.size(), 1500000u) << "the same for a day of any length";
        }
        auto opened = history.OpenDay(day, Need::Seconds, false, work);
        ASSERT_TRUE(opened.View && !opened.Built);
        for (const int n : {1, 3, 4, 7, 72})
            ExpectBandsOfRecords(*opened.View, day == kDay1 ? records : high, n);
        ExpectTotalsOfSummary(history, day, *opened.View);
    }
}

// Reads the digest file, lets `change` lie in its header or its entries (per channel its hours, then its
// minutes), and writes it back wide with its checksums made right.
void Lie(const std::string& path,
         const std::function<void(DigestHeader&, std::vector<DigestEntry>&)>& change) {
    const std::string bytes = support::ReadFileBytes(path);
    DigestHeader h;
    std::memcpy(&h, bytes.data(), sizeof h);
    std::vector<DigestEntry> entries(kChannels * kBlockEntries);
    for (int n = 1; n <= kChannels; ++n) {
        const std::span<DigestEntry> block(&entries[(n - 1) * kBlockEntries], kBlockEntries);
        const BlockPart hours = HoursPart(h, n);
        const BlockPart minutes = MinutesPart(h, n);
        ASSERT_TRUE(ReadHours(h, n, bytes.substr(hours.Offset, hours.Bytes), block.first(kHoursPerDay)));
        ASSERT_TRUE(
            ReadMinutes(h, n, bytes.substr(minutes.Offset, minutes.Bytes), block.subspan(kHoursPerDay)));
    }
    change(h, entries);
    std::string out(sizeof h, '\0');
    for (int n = 1; n <= kChannels; ++n) {
        h.Blocks[n - 1] = {static_cast<std::uint32_t>(out.size()),
                           static_cast<std::uint32_t>(BlockForm::Wide), kWideMinutesBytes};
        out.append(reinterpret_cast<const char*>(&entries[(n - 1) * kBlockEntries]),
                   kBlockEntries * sizeof(DigestEntry));
    }
    h.FileBytes = out.size();
    std::memcpy(out.data(), &h, sizeof h);
    ResealDigestBytes(out);
    support::WriteFileBytes(path, out);
}

// Channel n's minute m among the entries Lie hands on.
DigestEntry& MinuteOf(std::vector<DigestEntry>& entries, int n, int m) {
    return entries[static_cast<std::size_t>(n - 1) * kBlockEntries + kHoursPerDay +
                   static_cast<std::size_t>(m)];
}

TEST(Digest, ADamagedOrLyingDigestIsMadeAgainAndNeverDrawn) {
    support::TempFolder folder;
    const ArchiveHistory history(folder.Slash(), Present());
    WriteDay(history.DayPath(kDay1), Seconds(0, 4000));
    WriteDay(history.DayPath(kDay1 + 1), Seconds(50000, 3000));
    const SeriesRequest request{kDay1, kDay1 + 2, {1, 3, 72}, 2000};
    Workspace work;
    const SeriesAnswer truth = QuerySeries(history, request, work);
    ASSERT_FALSE(truth.FromRecords);
    ASSERT_GT(truth.Channels[0].Points.size(), 50u);

    const std::string path = history.DigestPath(kDay1);
    const std::string whole = support::ReadFileBytes(path);
    DigestHeader header;
    std::memcpy(&header, whole.data(), sizeof header);
    const std::vector<std::pair<std::string, std::function<void()>>> damages = {
        {"torn", [&] { support::WriteFileBytes(path, whole.substr(0, whole.size() / 2)); }},
        {"bytes flipped in channel 3's minutes",
         [&] {
             std::string bytes = whole;
             bytes[MinutesPart(header, 3).Offset + 17] ^= 0x5A;
             support::WriteFileBytes(path, bytes);
         }},
        {"another day's digest",
         [&] {
             // Removed first: MinGW's copy_file refuses to overwrite whatever the options say.
             std::filesystem::remove(path);
             std::filesystem::copy_file(history.DigestPath(kDay1 + 1), path);
         }},
        {"another version",
         [&] {
             std::string bytes = whole;
             bytes[offsetof(DigestHeader, Version)] ^= 3;
             ResealDigestBytes(bytes);
             support::WriteFileBytes(path, bytes);
         }},
        {"a minimum above its maximum",
         [&] { Lie(path, [](DigestHeader&, auto& e) { MinuteOf(e, 1, 10).Min = 1e6; }); }},
        {"a mean outside the band",
         [&] { Lie(path, [](DigestHeader&, auto& e) { MinuteOf(e, 72, 3).Mean = -5; }); }},
        {"NaN", [&] { Lie(path, [](DigestHeader&, auto& e) { MinuteOf(e, 3, 20).Max = std::nan(""); }); }},
        {"more records than the minute had",
         [&] { Lie(path, [](DigestHeader&, auto& e) { MinuteOf(e, 1, 30).Records += 1; }); }},
        {"covers more than the file",
         [&] { Lie(path, [](DigestHeader& h, auto&) { h.CoveredRecords += 1; }); }},
    };
    for (const auto& [what, damage] : damages) {
        // Each damage starts from the sound digest, not from the one made again after the last.
        support::WriteFileBytes(path, whole);
        damage();
        const SeriesAnswer again = QuerySeries(history, request, work);
        for (std::size_t k = 0; k < request.Channels.size(); ++k) {
            const auto& a = again.Channels[k].Points;
            const auto& b = truth.Channels[k].Points;
            ASSERT_EQ(a.size(), b.size()) << what;
            for (std::size_t i = 0; i < a.size(); ++i) {
                EXPECT_EQ(a[i].Records, b[i].Records) << what;
                if (b[i].Records > 0) {
                    EXPECT_EQ(a[i].Max, b[i].Max) << what;
                }
            }
        }
        EXPECT_FALSE(history.OpenDay(kDay1, Need::Band, false, work).Built) << what << ": not saved again";
    }
}

TEST(Digest, AGrowingDayReadsItsLastMinutesFromTheFileUntilALaterDayBegins) {
    support::TempFolder folder;
    const ArchiveHistory history(folder.Slash(), Present());
    auto records = Seconds(0, 3630);
    WriteDay(history.DayPath(kDay1), records);
    Workspace work;
    auto opened = history.OpenDay(kDay1, Need::Seconds, true, work);
    ASSERT_TRUE(opened.View && opened.Built);
    EXPECT_EQ(opened.View->Header().Kind, static_cast<std::uint32_t>(DigestKind::FinishedMinutes));
    EXPECT_EQ(opened.View->Header().CoveredRecords, 3600u); // the last, unfinished minute is left out

    // Twenty minutes later, the digest is believed and the new records come from the file.
    Append(records, Seconds(3630, 1200));
    WriteDay(history.DayPath(kDay1), records);
    const SeriesAnswer answer = QuerySeries(history, {kDay1, kDay1 + 1, {2}, 2000}, work);
    ASSERT_EQ(answer.StepSeconds, 60);
    const auto& points = answer.Channels[0].Points;
    ASSERT_EQ(points.size(), 81u);
    for (int m = 0; m < 81; ++m) {
        double lo = 1e300, hi = -1;
        for (int s = m * 60; s < std::min(m * 60 + 60, 4830); ++s) {
            lo = std::min(lo, Reading(2, s));
            hi = std::max(hi, Reading(2, s));
        }
        EXPECT_EQ(points[static_cast<std::size_t>(m)].Min, lo) << m;
        EXPECT_EQ(points[static_cast<std::size_t>(m)].Max, hi) << m;
    }
    opened = history.OpenDay(kDay1, Need::Seconds, true, work);
    EXPECT_FALSE(opened.Built);
    EXPECT_EQ(opened.View->Header().CoveredRecords, 3600u);
    ExpectTotalsOfSummary(history, kDay1, *opened.View);

    // Once the next day has begun, the day is counted whole with its own typical period.
    opened = history.OpenDay(kDay1, Need::Seconds, false, work);
    ASSERT_TRUE(opened.View && opened.Built);
    EXPECT_EQ(opened.View->Header().Kind, static_cast<std::uint32_t>(DigestKind::WholeDay));
    EXPECT_FALSE(opened.View->HasTail());
}

TEST(Digest, NewThresholdsMakeTheSecondsStaleButNotTheBand) {
    support::TempFolder folder;
    channels::UstavkiTable present = Present();
    WriteDay(folder.File("09.03.2026.txt"), Seconds(0, 600));
    Workspace work;
    ASSERT_TRUE(ArchiveHistory(folder.Slash(), present).OpenDay(kDay1, Need::Seconds, false, work).Built);
    present[7].Oborot = 50; // the switch-off current always comes from the present settings
    const ArchiveHistory changed(folder.Slash(), present);
    EXPECT_FALSE(changed.OpenDay(kDay1, Need::Band, false, work).Built);
    EXPECT_TRUE(changed.OpenDay(kDay1, Need::Seconds, false, work).Built);
    EXPECT_FALSE(changed.OpenDay(kDay1, Need::Seconds, false, work).Built);
}

TEST(Digest, TwoMakersOfOneDigestAtOnceLeaveItWhole) {
    support::TempFolder folder;
    const ArchiveHistory history(folder.Slash(), Present());
    WriteDay(history.DayPath(kDay1), Seconds(0, 20000));
    std::vector<std::thread> makers;
    std::vector<int> ok(2, 0);
    for (int i = 0; i < 2; ++i)
        makers.emplace_back([&, i] {
            Workspace work;
            for (int round = 0; round < 3; ++round)
                ok[static_cast<std::size_t>(i)] +=
                    history.OpenDay(kDay1, Need::Seconds, false, work, true).View ? 1 : 0;
        });
    for (auto& t : makers)
        t.join();
    EXPECT_EQ(ok, std::vector<int>({3, 3}));
    Workspace work;
    EXPECT_FALSE(history.OpenDay(kDay1, Need::Seconds, false, work).Built);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(history.DigestFolder()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u) << "no temporary left behind";

    // Ahead of time: every day once, and nothing the second time.
    WriteDay(history.DayPath(kDay1 + 3), Seconds(0, 100));
    std::vector<std::size_t> done;
    const auto all = history.BuildAll([&](const Progress& p) {
        if (!p.Building)
            done.push_back(p.Done);
        return true;
    });
    EXPECT_EQ(all.Days, 2u);
    EXPECT_EQ(all.Built, 1u);
    EXPECT_EQ(done, std::vector<std::size_t>({0, 1, 2}));
    EXPECT_EQ(history.BuildAll().Built, 0u);
}

// Without the bound a damaged day file of gigabytes was read to its end, every record's time held in memory.
TEST(Digest, AFileLargerThanAnyDayIsATroubleAndTheOtherDaysAreDrawn) {
    support::TempFolder folder;
    const ArchiveHistory history(folder.Slash(), Present());
    WriteDay(history.DayPath(kDay1), Seconds(0, 4000));
    std::ofstream(history.DayPath(kDay1 + 1)).close();
    std::filesystem::resize_file(history.DayPath(kDay1 + 1), std::uintmax_t{256} << 20);
    Workspace work;
    const SeriesAnswer answer = QuerySeries(history, {kDay1, kDay1 + 2, {1}, 2000}, work);
    ASSERT_EQ(answer.Troubles.size(), 1u);
    EXPECT_NE(answer.Troubles[0].find("not a day file"), std::string::npos) << answer.Troubles[0];
    // The sound day's 4000 s at about 86 s a point, some merged where a minute falls across two.
    EXPECT_GE(answer.Channels[0].Points.size(), 30u);
}

} // namespace
} // namespace registrator::history
