#pragma once

#include "archive/Archive.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "events/ActiveAlarms.h"
#include "events/CalibrationAudit.h"
#include "events/EventJournal.h"
#include "events/MotorEvents.h"
#include "service/recorder/Recorder.h"

#include <QObject>
#include <string>
#include <vector>

namespace registrator::service {

// The journal side of a running station: the motors' events of each scan cycle, what the archive and
// the calendar did at each record, the program's own lines, the operator's acknowledgements and the
// changes made in the calibration and scan timing windows, all into the day's journal; and the alarms
// those lines raise and clear. It owns the journal file, the event detector and the alarms.
class StationJournal : public QObject {
    Q_OBJECT
public:
    struct Services {
        const common::Clock& Clock;
        const channels::ChannelData& Data;
        const archive::Archive& Archive;
        std::string ArchiveFolder;
        bool Simulated = false; // the program's lines say so
    };

    explicit StationJournal(Services services);

    // After a start-up that found the port ready: a journal a power cut tore is mended, the start is
    // journalled with how the last run ended, and each motor's own start window is read from the
    // settings file (set there by hand; read once, as the rest is).
    void Begin(const SettingsPlace& settings);
    // One of the program's own lines (start, end, a port not ready, the averaging reset).
    void JournalProgram(events::EventKind kind, std::string note = {});
    // A log-in to the web view let in or turned away, with who and from where in `details`.
    void JournalWebLogin(events::EventKind kind, std::string details);
    // After every scan cycle: the motors' events it completed.
    void FollowScanCycle();
    // After every record: the archive's appends failing or recovering, and a new day.
    void FollowHistoryStep();

    // The operator's acknowledgement, into the journal; only the windows call these.
    void Acknowledge(events::EventKind kind, int channel);
    void AcknowledgeAll();
    // An apply of the calibration window stored `after` over `before`: into the journal when it changed
    // anything.
    void JournalCalibration(int channel, const channels::TUstavka& before, const channels::TUstavka& after);
    // Likewise an apply of the scan timing window.
    void JournalScanTiming(const events::ScanTiming& before, const events::ScanTiming& after);

    const events::ActiveAlarms& Alarms() const { return alarms_; }
    // Where a day's journal is.
    std::string PathFor(common::TDateTime day) const { return journal_.PathFor(day); }

signals:
    // An alarm came, cleared or was acknowledged.
    void alarmsChanged();
    // Lines went into the journal (once for a cycle's lines, however many).
    void journalled();

private:
    // The lines in order, then one word to those who follow the journal and, when they changed, the alarms.
    void Journal(const std::vector<events::Event>& lines, bool alarmsChanged = false);

    Services services_;
    events::EventJournal journal_;
    events::MotorEventDetector detector_;
    std::vector<events::Event> cycleEvents_;
    events::ActiveAlarms alarms_;
    bool archiveFailing_ = false;
    common::TDateTime journalDay_ = 0; // 0 until Begin
};

} // namespace registrator::service
