#include "service/recorder/Station.h"

#include "channels/SettingsFile.h"
#include "service/web/WebView.h"

#include <cstdio>
#include <system_error>

namespace registrator::service {

namespace {

// A port factory that made nothing: a port that is never ready.
class NoPort final : public acquisition::PortAccess {
public:
    bool IsReady() const override { return false; }
    std::uint8_t ReadRegister(std::uint8_t, std::uint8_t) override { return 0; }
    void WriteRegister(std::uint8_t, std::uint8_t, std::uint8_t) override {}
    std::uint32_t LastError() const override { return 0; }
};

} // namespace

Station::Station(StationEnvironment environment)
    : env_(std::move(environment)),
      title_(QString::fromStdString(channels::ProgramTitle(env_.ExecutablePath))), boxLog_(env_.Dialogs),
      dialogs_(boxLog_, ending_), messages_(dialogs_), guard_(dialogs_),
      archive_(env_.ArchiveFolder, env_.Clock, messages_) {}

Station::~Station() = default;

std::string Station::SettingsPath() const {
    return data_.BaseFolder + title_.toStdString() + ".INI";
}

bool Station::Acquire() {
    // A second program must touch no file, and on a real port it would wait for the first to let go.
    InstanceLock::Holder holder;
    const std::string settings = channels::FolderOf(env_.ExecutablePath) + title_.toStdString() + ".INI";
    if (!lock_.Acquire(QString::fromStdString(settings), QString::fromStdString(env_.ArchiveFolder),
                       holder)) {
        const QString text = InstanceLock::RefusalText(holder);
        // Also where a script that started it looks, before a box that may stand on a screen nobody
        // watches.
        if (!env_.Dialogs.OnStandardError())
            std::fprintf(stderr, "Registrator: %s\n",
                         qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        dialogs_.ShowOperatorMessage(text);
        return false;
    }
    port_ = env_.MakePort(data_.Ustavki, env_.Clock);
    if (!port_)
        port_ = std::make_unique<NoPort>();
    protocol_ = std::make_unique<acquisition::ScanProtocol>(*port_);
    recorder_ = std::make_unique<service::Recorder>(
        service::Recorder::Services{data_, *protocol_, archive_, env_.Clock, dialogs_});
    journal_ = std::make_unique<StationJournal>(
        StationJournal::Services{env_.Clock, data_, archive_, env_.ArchiveFolder, Simulated()});
    outlets_ = std::make_unique<StationOutlets>(
        StationOutlets::Services{env_.Clock, data_, archive_, *port_, *recorder_, boxLog_, *journal_,
                                 env_.ArchiveFolder,
                                 channels::FolderOf(env_.ExecutablePath) + title_.toStdString() + ".INI"},
        requests_);
    // The cycle's events are journalled before anything is served of that cycle.
    connect(recorder_.get(), &Recorder::scanned, this, [this] {
        journal_->FollowScanCycle();
        outlets_->FollowScanCycle();
    });
    connect(recorder_.get(), &Recorder::historyStepped, this, [this] {
        journal_->FollowHistoryStep();
        outlets_->FollowHistoryStep();
    });
    connect(recorder_.get(), &Recorder::avgCountReset, this, [this] {
        journal_->JournalProgram(events::EventKind::AveragingReset, "опросов в усреднении: 5");
    });
    connect(journal_.get(), &StationJournal::journalled, outlets_.get(), &StationOutlets::FollowJournal);
    return true;
}

void Station::StartServers() {
    outlets_->StartServers();
}

void Station::StartUp(SettingsProgress& progress) {
    guard_([&] {
        if (!port_->IsReady()) {
            portRefused_ = true;
            const std::uint32_t code = port_->LastError();
            std::fprintf(stderr, "Registrator: cannot open %s: %s (error %u); the program ends\n",
                         portName_.c_str(), std::system_category().message(static_cast<int>(code)).c_str(),
                         code);
            dialogs_.ShowPortError(code);
        }
        data_.BaseFolder = channels::FolderOf(env_.ExecutablePath);
        recorder_->StartUp({SettingsPath(), env_.Regional}, progress);
    });
    if (portRefused_) {
        journal_->JournalProgram(events::EventKind::PortNotReady,
                                 portName_ + ": " +
                                     std::system_category().message(static_cast<int>(port_->LastError())));
        return;
    }
    journal_->Begin({SettingsPath(), env_.Regional});
    outlets_->StartUpDone();
    StartReports();
}

void Station::StartReports() {
    const channels::SettingsFile settings(SettingsPath(), env_.Regional);
    schedule::ScheduleSettings schedule;
    schedule.ArchiveFolder = env_.ArchiveFolder;
    schedule.ReportsFolder = reports::ReportsFolderOf(env_.ArchiveFolder);
    schedule.ShiftStarts = settings.ReadShiftStarts();
    schedule.Supplies = settings.ReadSupplies();
    schedule.Writer = reportWriter_;
    schedule.WriterExtensions = reportExtensions_;
    if (web::WebView* web = outlets_->Web())
        web->SetReportSupplies(schedule.Supplies);
    reports_ = std::make_unique<schedule::ReportScheduler>(env_.Clock, data_, std::move(schedule));
    connect(reports_.get(), &schedule::ReportScheduler::reportFailed, this, [this](const QString& text) {
        journal_->JournalProgram(events::EventKind::ReportNotWritten, text.toStdString());
    });
    reports_->Start();
}

void Station::Shutdown(SettingsProgress& progress) {
    if (shutDown_ || !recorder_)
        return;
    shutDown_ = true;
    outlets_->CloseServers();
    recorder_->StopTimers();
    // At most the report in hand is finished; one still being counted is dropped, written next start.
    if (reports_)
        reports_->Stop();
    // After the last record and before the end's own line: what was written goes to the broker first,
    // and what it did not take stays for the next start, said here.
    const std::string unsent = outlets_->StopPublishing();
    if (!portRefused_)
        journal_->JournalProgram(events::EventKind::ProgramEnded, unsent);
    guard_([&] { recorder_->SaveSettings({SettingsPath(), env_.Regional}, progress); });
    // The stopped recorder stays, for what still asks about its timers; it never ticks again.
    protocol_.reset();
    port_.reset();
    // Held until the settings are on disk: a program started meanwhile must not read them half-saved.
    lock_.Release();
}

} // namespace registrator::service
