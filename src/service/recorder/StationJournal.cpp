#include "service/recorder/StationJournal.h"

#include "channels/SettingsFile.h"
#include "monitor/ArchiveStatusLine.h"

namespace registrator::service {

StationJournal::StationJournal(Services services)
    : services_(std::move(services)), journal_(services_.ArchiveFolder) {}

void StationJournal::Begin(const SettingsPlace& settings) {
    events::RepairNewestJournal(services_.ArchiveFolder);
    JournalProgram(events::EventKind::ProgramStarted,
                   events::PreviousEndNote(services_.ArchiveFolder, services_.Clock.Now()));
    journalDay_ = services_.Clock.Today();
    const auto windows = channels::SettingsFile(settings.Path, settings.Regional)
                             .ReadStartWindows(events::MotorEventDetector::kDefaultStartWindowSeconds);
    for (int n = 1; n <= channels::kChannelCount; ++n)
        detector_.SetStartWindow(n, windows[n]);
}

void StationJournal::JournalProgram(events::EventKind kind, std::string note) {
    events::Event event;
    event.Time = services_.Clock.Now();
    event.Kind = kind;
    if (services_.Simulated)
        note += note.empty() ? "имитация" : ", имитация";
    event.Text = std::move(note);
    Journal({event});
}

void StationJournal::JournalWebLogin(events::EventKind kind, std::string details) {
    events::Event event;
    event.Time = services_.Clock.Now();
    event.Kind = kind;
    event.Text = std::move(details);
    Journal({event});
}

void StationJournal::FollowScanCycle() {
    cycleEvents_.clear();
    detector_.Observe(services_.Clock.Now(), services_.Data, cycleEvents_);
    Journal(cycleEvents_);
}

void StationJournal::FollowHistoryStep() {
    const archive::AppendStatus& appends = services_.Archive.Status();
    if ((appends.Failures != 0) != archiveFailing_) {
        archiveFailing_ = !archiveFailing_;
        events::Event event;
        event.Time = services_.Clock.Now();
        event.Kind =
            archiveFailing_ ? events::EventKind::ArchiveFailing : events::EventKind::ArchiveRecovered;
        event.Alarm = archiveFailing_;
        if (archiveFailing_)
            event.Text =
                monitor::DescribeArchive(appends, services_.Archive.Snapshot(), services_.ArchiveFolder)
                    .Warning;
        Journal({event});
    }
    const common::TDateTime today = services_.Clock.Today();
    if (journalDay_ != 0 && today != journalDay_) {
        journalDay_ = today;
        JournalProgram(events::EventKind::DayChanged);
    }
}

void StationJournal::Acknowledge(events::EventKind kind, int channel) {
    Journal(alarms_.Acknowledge(kind, channel, services_.Clock.Now()), true);
}

void StationJournal::AcknowledgeAll() {
    Journal(alarms_.AcknowledgeAll(services_.Clock.Now()), true);
}

void StationJournal::JournalCalibration(int channel, const channels::TUstavka& before,
                                        const channels::TUstavka& after) {
    if (const auto event = events::CalibrationChange(services_.Clock.Now(), channel, before, after))
        Journal({*event});
}

void StationJournal::JournalScanTiming(const events::ScanTiming& before, const events::ScanTiming& after) {
    if (const auto event = events::ScanTimingChange(services_.Clock.Now(), before, after))
        Journal({*event});
}

void StationJournal::Journal(const std::vector<events::Event>& lines, bool alarmsChanged) {
    if (lines.empty() && !alarmsChanged)
        return;
    // A journal that cannot be written costs no record; the alarm still sounds.
    for (const events::Event& event : lines) {
        journal_.Append(event, services_.Data);
        alarmsChanged = alarms_.Follow(event) || alarmsChanged;
    }
    // Once for a cycle's lines, however many: each wakes the publisher and the windows redraw.
    if (alarmsChanged)
        emit this->alarmsChanged();
    if (!lines.empty())
        emit journalled();
}

} // namespace registrator::service
