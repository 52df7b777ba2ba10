#include "ui/app/Program.h"

#include "ui/archive/ArchiveFolderWindow.h"
#include "ui/archive/ArchiveViewerWindow.h"
#include "ui/channels/ProgressWindow.h"
#include "ui/events/AlarmLine.h"
#include "ui/events/AlarmSound.h"
#include "ui/events/JournalWindow.h"
#include "ui/health/HealthWindow.h"
#include "ui/monitor/MainWindow.h"
#include "ui/monitor/MotorGraphWindow.h"
#include "ui/monitor/SectionWindow.h"
#include "ui/period/PeriodWindow.h"
#include "ui/reports/ReportsWindow.h"
#include "ui/tuning/AboutWindow.h"
#include "ui/tuning/CalibrationWindow.h"
#include "ui/tuning/CoefficientWindow.h"
#include "ui/tuning/ScanTimingWindow.h"

#include <QCoreApplication>
#include <QSysInfo>

namespace registrator::ui {

namespace {

// The progress window over the settings' load and save.
class WindowProgress final : public service::SettingsProgress {
public:
    void Begin(const QString& caption) override {
        window_ = std::make_unique<ProgressWindow>();
        window_->Begin(caption);
    }
    void ChannelDone(int channel) override { window_->ShowChannelDone(channel); }
    void End() override { window_.reset(); }

private:
    std::unique_ptr<ProgressWindow> window_;
};

} // namespace

Program::Program(ProgramEnvironment environment) : station_(std::move(environment)) {}

Program::~Program() = default;

bool Program::Start() {
    if (!station_.Acquire())
        return false;
    QString caption = QStringLiteral("Регистратор");
    if (station_.Simulated())
        caption += QStringLiteral(" — имитация");
    service::Recorder& recorder = station_.Recorder();
    mainWindow_ = std::make_unique<MainWindow>(recorder, station_.Guard(), caption);
    service::StationOutlets& outlets = station_.Outlets();
    connect(&outlets, &service::StationOutlets::serviceProblem, mainWindow_.get(),
            &MainWindow::ShowServiceProblem);
    connect(&outlets, &service::StationOutlets::brokerChanged, mainWindow_.get(),
            &MainWindow::ShowBrokerLine);

    // Before start-up, whose boxes let the timers tick: the servers follow the window's colours from
    // the first refresh on, as a reading on a threshold keeps the colour it had.
    station_.StartServers();
    WindowProgress progress;
    station_.StartUp(progress);
    quitWhenLoopRuns_ = station_.PortRefused();

    auto& data = station_.Data();
    auto& archive = station_.Archive();
    auto& messages = station_.Messages();
    auto& guard = station_.Guard();
    const common::RegionalSettings& regional = station_.Environment().Regional;
    const common::Clock& clock = station_.Environment().Clock;
    motorGraphWindow_ = std::make_unique<MotorGraphWindow>(data, regional);
    timingWindow_ =
        std::make_unique<ScanTimingWindow>(data, recorder.Timer1(), recorder.Timer2(), messages, guard);
    connect(&recorder, &service::Recorder::avgCountReset, timingWindow_.get(),
            &ScanTimingWindow::ResetAvgCountField);
    connect(mainWindow_.get(), &MainWindow::scanTimingRequested, timingWindow_.get(),
            &ScanTimingWindow::ShowModeless);
    service::StationJournal& journal = station_.Journal();
    connect(timingWindow_.get(), &ScanTimingWindow::applied, &journal,
            &service::StationJournal::JournalScanTiming);

    calibrationWindow_ = std::make_unique<CalibrationWindow>(CalibrationWindow::Services{
        data, regional, [this] { return SettingsPath(); }, messages, guard,
        [this](int channel, const channels::TUstavka& before, const channels::TUstavka& after) {
            station_.Journal().JournalCalibration(channel, before, after);
            // A renamed motor is renamed in the alarms at once.
            ShowAlarms();
            journalWindow_->RefreshAlarms();
        }});
    connect(mainWindow_.get(), &MainWindow::calibrationRequested, calibrationWindow_.get(),
            &CalibrationWindow::OpenForEditing);
    // After the main window's own handler, so the line shows the tick's converted slot.
    connect(&recorder.Timer1(), &QTimer::timeout, calibrationWindow_.get(),
            &CalibrationWindow::RefreshLiveLine);

    sectionWindow_ = std::make_unique<SectionWindow>(data, regional, guard);
    connect(mainWindow_.get(), &MainWindow::sectionRequested, sectionWindow_.get(),
            &SectionWindow::OpenSection);
    connect(sectionWindow_.get(), &SectionWindow::selectChannelRequested, mainWindow_.get(),
            &MainWindow::SelectChannel);

    coefficientWindow_ = std::make_unique<CoefficientWindow>(regional, messages, guard);
    aboutWindow_ = std::make_unique<AboutWindow>();
    connect(mainWindow_.get(), &MainWindow::coefficientCalculationRequested, coefficientWindow_.get(),
            &CoefficientWindow::ShowModeless);
    connect(coefficientWindow_.get(), &CoefficientWindow::aboutRequested, aboutWindow_.get(),
            &AboutWindow::ShowModeless);

    archiveViewerWindow_ = std::make_unique<ArchiveViewerWindow>(
        ArchiveViewerWindow::Services{archive, data, clock, regional, messages, guard});
    archiveFolderWindow_ = std::make_unique<ArchiveFolderWindow>();
    connect(mainWindow_.get(), &MainWindow::archiveViewerRequested, archiveViewerWindow_.get(),
            &ArchiveViewerWindow::ShowModeless);
    connect(archiveViewerWindow_.get(), &ArchiveViewerWindow::folderWindowRequested,
            archiveFolderWindow_.get(), &ArchiveFolderWindow::ShowModeless);
    periodWindow_ = std::make_unique<PeriodWindow>(
        PeriodWindow::Services{archive, data, clock, regional, messages, guard});
    connect(mainWindow_.get(), &MainWindow::periodTrendRequested, periodWindow_.get(),
            &PeriodWindow::ShowModeless);
    connect(archiveViewerWindow_.get(), &ArchiveViewerWindow::periodRequested, periodWindow_.get(),
            &PeriodWindow::ShowDay);
    // Once the record is written, so that the window reads it back.
    connect(&recorder, &service::Recorder::historyStepped, periodWindow_.get(), &PeriodWindow::FollowRecord);

    // In the order SelectChannel fills them: the section window, the motor graph window, the calibration
    // window.
    connect(mainWindow_.get(), &MainWindow::channelFieldsRequested, sectionWindow_.get(),
            &SectionWindow::ShowChannelFields);
    connect(mainWindow_.get(), &MainWindow::channelFieldsRequested, motorGraphWindow_.get(),
            &MotorGraphWindow::ShowChannelFields);
    connect(mainWindow_.get(), &MainWindow::channelFieldsRequested, calibrationWindow_.get(),
            &CalibrationWindow::FillFields);
    journalWindow_ = std::make_unique<JournalWindow>(station_);
    // Headed with the computer's name, as the station is known to other systems unless told otherwise.
    reportsWindow_ = std::make_unique<ReportsWindow>(
        ReportsWindow::Services{archive.Folder(), data, clock, [this] { return SettingsPath(); },
                                QSysInfo::machineHostName().toStdString(), messages});
    connect(mainWindow_.get(), &MainWindow::reportsRequested, reportsWindow_.get(),
            &ReportsWindow::ShowModeless);
    alarmSound_ = std::make_unique<AlarmSound>();
    connect(mainWindow_.get(), &MainWindow::journalRequested, journalWindow_.get(),
            &JournalWindow::ShowModeless);
    connect(&journal, &service::StationJournal::journalled, journalWindow_.get(),
            &JournalWindow::FollowJournal);
    connect(&journal, &service::StationJournal::alarmsChanged, journalWindow_.get(),
            &JournalWindow::RefreshAlarms);
    connect(&journal, &service::StationJournal::alarmsChanged, this, &Program::ShowAlarms);
    connect(alarmSound_.get(), &AlarmSound::silenceChanged, this, &Program::ShowAlarms);
    AlarmLine* line = mainWindow_->Alarms();
    connect(line, &AlarmLine::acknowledgeRequested, this, [this] {
        if (const events::Alarm* alarm = station_.Journal().Alarms().Loudest())
            station_.Journal().Acknowledge(alarm->Kind, alarm->Channel);
    });
    connect(line, &AlarmLine::silenceRequested, this, [this] { alarmSound_->SilenceFor(10); });
    ShowAlarms();

    healthWindow_ = std::make_unique<HealthWindow>(
        HealthWindow::Services{data, archive, clock, regional, [this] { return SettingsPath(); }, guard});
    connect(mainWindow_.get(), &MainWindow::healthRequested, healthWindow_.get(),
            &HealthWindow::ShowModeless);

    connect(mainWindow_.get(), &MainWindow::closing, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    mainWindow_->show();
    // Queued only now: the progress window paints by handling pending events, which would have
    // swallowed the request before the event loop runs.
    if (quitWhenLoopRuns_ || station_.Ending())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    return true;
}

void Program::ShowAlarms() {
    const events::ActiveAlarms& alarms = station_.Journal().Alarms();
    const events::Alarm* loudest = alarms.Loudest();
    alarmSound_->SetAlarming(loudest != nullptr);
    const QDateTime until = alarmSound_->SilencedUntil();
    const channels::UstavkiTable& names = station_.Data().Ustavki;
    const int more = alarms.UnacknowledgedCount() - 1;
    mainWindow_->ShowAlarm(loudest ? QString::fromStdString(events::AlarmLineText(*loudest, more, names))
                                   : QString(),
                           loudest ? QString::fromStdString(events::AlarmText(*loudest, names)) : QString(),
                           more, until.isValid() ? until.toString(QStringLiteral("HH:mm")) : QString());
}

void Program::RequestEnd() {
    station_.MarkEnding();
    // Before the event loop runs (a start-up box is open) quitting does nothing: closing the box lets
    // start-up finish, and it queues the end itself.
    CloseOpenBoxes();
    QCoreApplication::quit();
}

void Program::Shutdown() {
    if (station_.ShutDown() || !mainWindow_)
        return;
    // No tick may run inside a box shown while the program ends.
    station_.Recorder().StopTimers();
    mainWindow_->hide();
    for (QWidget* window : std::initializer_list<QWidget*>{
             timingWindow_.get(), calibrationWindow_.get(), sectionWindow_.get(), coefficientWindow_.get(),
             aboutWindow_.get(), archiveViewerWindow_.get(), archiveFolderWindow_.get(), journalWindow_.get(),
             periodWindow_.get(), healthWindow_.get(), reportsWindow_.get()})
        if (window)
            window->hide();
    WindowProgress progress;
    station_.Shutdown(progress);
}

} // namespace registrator::ui
