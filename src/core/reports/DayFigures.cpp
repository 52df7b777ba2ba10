#include "reports/DayFigures.h"

#include "common/Utf8Path.h"
#include "events/EventJournal.h"

#include <algorithm>
#include <filesystem>

namespace registrator::reports {

namespace {

constexpr double kMinuteMs = 60000;
constexpr std::size_t kMinutes = history::kMinutesPerDay;

// Every channel's minutes of the day, [(channel - 1) * kMinutes + minute]; false when the digest lied
// and could not be made again.
bool ReadAllMinutes(const history::ArchiveHistory& history, const DayPartRequest& request,
                    history::Workspace& work, const history::StopCheck& stop,
                    std::vector<history::DigestEntry>& all, history::DigestHeader& header, DayPart& out) {
    std::vector<history::DigestEntry> entries;
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto opened =
            history.OpenDay(request.Day, history::Need::Seconds, request.Growing, work, attempt > 0, stop);
        if (opened.Stopped) {
            out.Stopped = true;
            return false;
        }
        if (!opened.View) {
            out.Trouble = opened.Error.empty() ? "cannot be read" : opened.Error;
            return false;
        }
        header = opened.View->Header();
        bool read = true;
        for (int c = 1; c <= history::kChannels && read; ++c) {
            read = opened.View->Minutes(c, entries);
            if (read)
                std::copy(entries.begin(), entries.end(), all.begin() + (c - 1) * kMinutes);
        }
        if (read)
            return true;
    }
    out.Trouble = "its digest cannot be made";
    return false;
}

// What each minute's records stand for, in milliseconds: that of a motor whose every record of the
// minute was above its switch-off current, which the digest counted exactly; else the records times the
// typical period. A minute without records holds what the last record before it stands for past its
// end, as far as a running motor shows it. `records`: the most records any motor has in each minute (those
// of the minute, but for implausible readings). Channel by channel, as the entries lie.
void CoveredMs(const std::vector<history::DigestEntry>& all, const history::DigestHeader& header,
               const DayPartRequest& request, std::vector<double>& covered,
               std::vector<std::uint32_t>& records) {
    const auto from = static_cast<std::size_t>(request.FromMinute);
    const auto to = static_cast<std::size_t>(request.ToMinute);
    records.assign(kMinutes, 0);
    covered.assign(kMinutes, -1);
    for (std::size_t c = 0; c < history::kChannels; ++c)
        for (std::size_t m = from; m < to; ++m)
            records[m] = std::max(records[m], all[c * kMinutes + m].Records);
    for (std::size_t c = 0; c < history::kChannels; ++c)
        for (std::size_t m = from; m < to; ++m) {
            const history::DigestEntry& e = all[c * kMinutes + m];
            if (e.Records == records[m] && (records[m] == 0 || e.Min > header.Thresholds[c].Oborot))
                covered[m] = std::max(covered[m], static_cast<double>(e.MsAboveOff));
        }
    for (std::size_t m = from; m < to; ++m)
        covered[m] = covered[m] >= 0 ? std::min(covered[m], kMinuteMs)
                                     : std::min(kMinuteMs, records[m] * header.Period * 86400000.0);
}

void CountMinutes(const std::vector<history::DigestEntry>& all, const history::DigestHeader& header,
                  const DayPartRequest& request, DayPart& out) {
    const double periodMs = header.Period * 86400000.0;
    std::vector<double> covered;
    std::vector<std::uint32_t> records;
    CoveredMs(all, header, request, covered, records);
    for (int m = request.FromMinute; m < request.ToMinute; ++m)
        out.PlantNoRecordMs += kMinuteMs - covered[static_cast<std::size_t>(m)];
    for (int c = 1; c <= history::kChannels; ++c) {
        DigestMotorFigures& motor = out.Motors[static_cast<std::size_t>(c)];
        // The running current in the last minute with records, for the time its last record stands for
        // in the minutes after it.
        double lastRunning = 0;
        for (int m = request.FromMinute; m < request.ToMinute; ++m) {
            const auto minute = static_cast<std::size_t>(m);
            const history::DigestEntry& e = all[static_cast<std::size_t>(c - 1) * kMinutes + minute];
            // A record without a plausible reading of the motor stands for no data of it.
            const double own =
                records[minute] == 0
                    ? covered[minute]
                    : std::max(0.0, covered[minute] - (records[minute] - e.Records) * periodMs);
            motor.NoRecordMs += kMinuteMs - own;
            motor.RunMs += e.MsAboveOff;
            motor.AboveNominalMs += e.MsAboveNominal;
            motor.AboveCriticalMs += e.MsAboveCritical;
            if (e.Records == 0) {
                motor.RunningAmpereMs += lastRunning * e.MsAboveOff;
                continue;
            }
            motor.Highest = std::max(motor.Highest.value_or(e.Max), e.Max);
            if (e.MsAboveOff == 0 || own <= 0)
                continue;
            // The minute's readings while off lie at or below the switch-off current; they are taken to
            // be its lowest one, which a minute that is not all running holds.
            const double share = std::min(1.0, e.MsAboveOff / own);
            lastRunning = std::clamp((e.Mean - (1 - share) * e.Min) / share, e.Min, e.Max);
            motor.RunningAmpereMs += lastRunning * e.MsAboveOff;
        }
    }
}

} // namespace

std::string JournalPathOf(const history::ArchiveHistory& history, common::TDateTime day) {
    return history.Folder() + common::ArchiveDateText(day) + events::EventJournal::kFileSuffix;
}

DayPart FigureDayPart(const history::ArchiveHistory& history, const DayPartRequest& request,
                      history::Workspace& work, const history::StopCheck& stop) {
    DayPart out;
    const double minutes = request.ToMinute - request.FromMinute;
    bool counted = false;
    if (request.HasFile) {
        std::vector<history::DigestEntry> all(kMinutes * history::kChannels);
        history::DigestHeader header;
        if (ReadAllMinutes(history, request, work, stop, all, header, out)) {
            CountMinutes(all, header, request, out);
            counted = true;
        } else if (out.Stopped) {
            return out;
        }
    }
    if (!counted) {
        out.PlantNoRecordMs = minutes * kMinuteMs;
        for (DigestMotorFigures& motor : out.Motors)
            motor.NoRecordMs = minutes * kMinuteMs;
    }

    const std::string journalPath = JournalPathOf(history, request.Day);
    std::error_code error;
    if (!std::filesystem::is_regular_file(common::PathFromUtf8(journalPath), error))
        return out;
    const events::EventJournal::FileRead journal = events::EventJournal::ReadFile(journalPath);
    out.JournalThere = journal.Header;
    if (!journal.Header) {
        if (out.Trouble.empty())
            out.Trouble = "its journal " + (journal.Error.empty() ? "is no journal" : journal.Error);
        return out;
    }
    out.Journal = FoldJournalDay(request.Day, journal.Lines, request.Day + request.FromMinute / 1440.0,
                                 request.Day + request.ToMinute / 1440.0, request.KeepStarts);
    for (int c = 1; c <= history::kChannels; ++c) {
        JournalMotorFigures& motor = out.Journal.Motors[static_cast<std::size_t>(c)];
        const double ended = motor.OverloadSeconds - motor.UnendedOverloadSeconds;
        const double most =
            std::max(0.0, out.Motors[static_cast<std::size_t>(c)].AboveCriticalMs / 1000 - ended);
        if (counted && motor.UnendedOverloadSeconds > most) {
            motor.OverloadSeconds = ended + most;
            motor.UnendedOverloadSeconds = most;
        }
    }
    return out;
}

} // namespace registrator::reports
