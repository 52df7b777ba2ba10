#include "ui/app/Program.h"

#include "service/modbus/ModbusServer.h"
#include "ui/archive/ArchiveFolderWindow.h"
#include "ui/archive/ArchiveViewerWindow.h"
#include "ui/channels/ProgressWindow.h"
#include "ui/monitor/MainWindow.h"
#include "ui/monitor/MotorGraphWindow.h"
#include "ui/monitor/SectionWindow.h"
#include "ui/tuning/AboutWindow.h"
#include "ui/tuning/CalibrationWindow.h"
#include "ui/tuning/CoefficientWindow.h"
#include "ui/tuning/ScanTimingWindow.h"
#include "ui/web/WebView.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHostAddress>
#include <cstdio>
#include <system_error>

namespace registrator::ui {

namespace {

// Stands in for the port until start-up has made the real one, so the windows can be built first.
class NoPort final : public acquisition::PortAccess {
public:
    bool IsReady() const override { return false; }
    std::uint8_t ReadRegister(std::uint8_t, std::uint8_t) override { return 0; }
    void WriteRegister(std::uint8_t, std::uint8_t, std::uint8_t) override {}
    std::uint32_t LastError() const override { return 0; }
};

} // namespace

Program::Program(ProgramEnvironment environment)
    : env_(std::move(environment)),
      title_(QString::fromStdString(channels::ProgramTitle(env_.ExecutablePath))),
      dialogs_(env_.Dialogs, endRequested_), messages_(dialogs_), guard_(dialogs_),
      archive_(env_.ArchiveFolder, env_.Clock, messages_) {}

Program::~Program() = default;

std::string Program::SettingsPath() const {
    return data_.BaseFolder + title_.toStdString() + ".INI";
}

bool Program::Start() {
    // Before anything is opened: a second program must touch no file, and on a real port it would
    // wait for the first to let go.
    InstanceLock::Holder holder;
    const std::string settings = channels::FolderOf(env_.ExecutablePath) + title_.toStdString() + ".INI";
    if (!lock_.Acquire(QString::fromStdString(settings), QString::fromStdString(env_.ArchiveFolder),
                       holder)) {
        const QString text = InstanceLock::RefusalText(holder);
        std::fprintf(stderr, "Registrator: %s\n",
                     qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        dialogs_.ShowOperatorMessage(text);
        return false;
    }
    port_ = env_.MakePort(data_.Ustavki, env_.Clock);
    if (!port_)
        port_ = std::make_unique<NoPort>();
    protocol_ = std::make_unique<acquisition::ScanProtocol>(*port_);

    QString caption = QStringLiteral("Регистратор");
    if (!port_->SimulationNote().empty())
        caption += QStringLiteral(" — имитация");
    mainWindow_ = std::make_unique<MainWindow>(
        MainWindow::Services{data_, *protocol_, archive_, env_.Clock, messages_, guard_, dialogs_}, caption);

    // Before start-up, whose boxes let the timers tick: the page follows the window's colours from
    // the first refresh on, as a reading on a threshold keeps the colour it had.
    connect(mainWindow_.get(), &MainWindow::displayRefreshed, this, &Program::FollowScanCycle);
    if (!webAddress_.isEmpty())
        StartWebView();
    if (!modbusAddress_.isEmpty())
        StartModbus();
    guard_([&] { StartUp(); });
    if (!portRefused_)
        notify_.Ready(port_->SimulationNote().empty() ? "recording" : "recording a simulated plant");

    motorGraphWindow_ = std::make_unique<MotorGraphWindow>(data_, env_.Regional);
    timingWindow_ = std::make_unique<ScanTimingWindow>(data_, mainWindow_->Timer1(), mainWindow_->Timer2(),
                                                       messages_, guard_);
    mainWindow_->SetAvgCountResetHook([this] { timingWindow_->ResetAvgCountField(); });
    connect(mainWindow_.get(), &MainWindow::scanTimingRequested, timingWindow_.get(),
            &ScanTimingWindow::ShowModeless);

    calibrationWindow_ = std::make_unique<CalibrationWindow>(CalibrationWindow::Services{
        data_, env_.Regional, [this] { return SettingsPath(); }, messages_, guard_});
    connect(mainWindow_.get(), &MainWindow::calibrationRequested, calibrationWindow_.get(),
            &CalibrationWindow::OpenForEditing);
    // After the main window's own handler, so the line shows the tick's converted slot.
    connect(&mainWindow_->Timer1(), &QTimer::timeout, calibrationWindow_.get(),
            &CalibrationWindow::RefreshLiveLine);

    sectionWindow_ = std::make_unique<SectionWindow>(data_, env_.Regional, guard_);
    connect(mainWindow_.get(), &MainWindow::sectionRequested, sectionWindow_.get(),
            &SectionWindow::OpenSection);
    connect(sectionWindow_.get(), &SectionWindow::selectChannelRequested, mainWindow_.get(),
            &MainWindow::SelectChannel);

    coefficientWindow_ = std::make_unique<CoefficientWindow>(env_.Regional, messages_, guard_);
    aboutWindow_ = std::make_unique<AboutWindow>();
    connect(mainWindow_.get(), &MainWindow::coefficientCalculationRequested, coefficientWindow_.get(),
            &CoefficientWindow::ShowModeless);
    connect(coefficientWindow_.get(), &CoefficientWindow::aboutRequested, aboutWindow_.get(),
            &AboutWindow::ShowModeless);

    archiveViewerWindow_ = std::make_unique<ArchiveViewerWindow>(
        ArchiveViewerWindow::Services{archive_, data_, env_.Clock, env_.Regional, messages_, guard_});
    archiveFolderWindow_ = std::make_unique<ArchiveFolderWindow>();
    connect(mainWindow_.get(), &MainWindow::archiveViewerRequested, archiveViewerWindow_.get(),
            &ArchiveViewerWindow::ShowModeless);
    connect(archiveViewerWindow_.get(), &ArchiveViewerWindow::folderWindowRequested,
            archiveFolderWindow_.get(), &ArchiveFolderWindow::ShowModeless);

    // In the order SelectChannel fills them: the section window, the motor graph window, the calibration
    // window.
    connect(mainWindow_.get(), &MainWindow::channelFieldsRequested, sectionWindow_.get(),
            &SectionWindow::ShowChannelFields);
    connect(mainWindow_.get(), &MainWindow::channelFieldsRequested, motorGraphWindow_.get(),
            &MotorGraphWindow::ShowChannelFields);
    connect(mainWindow_.get(), &MainWindow::channelFieldsRequested, calibrationWindow_.get(),
            &CalibrationWindow::FillFields);
    connect(mainWindow_.get(), &MainWindow::closing, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    mainWindow_->show();
    // Queued only now: the progress window paints by handling pending events, which would have
    // swallowed the request before the event loop runs.
    if (quitWhenLoopRuns_ || endRequested_)
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    return true;
}

void Program::StartUp() {
    if (!port_->IsReady()) {
        portRefused_ = true;
        const std::uint32_t code = port_->LastError();
        std::fprintf(stderr, "Registrator: cannot open %s: %s (error %u); the program ends\n",
                     portName_.c_str(), std::system_category().message(static_cast<int>(code)).c_str(), code);
        dialogs_.ShowPortError(code);
        // Takes effect once the event loop runs; start-up goes on so that the end is an orderly one.
        quitWhenLoopRuns_ = true;
    }
    mainWindow_->Timer1().setInterval(10);
    mainWindow_->Timer2().setInterval(1000);
    mainWindow_->Timer1().start();
    mainWindow_->Timer2().start();
    data_.CurDay = env_.Clock.Today();
    protocol_->ResetState();
    data_.TokIndex = 0;
    data_.AvgCount = 5;

    ProgressWindow progress;
    progress.Begin(QStringLiteral("ИДЕТ ЗАГРУЗКА"));
    data_.BaseFolder = channels::FolderOf(env_.ExecutablePath);
    channels::SettingsFile(SettingsPath(), env_.Regional).LoadAll(data_.Ustavki, [&](int channel) {
        progress.ShowChannelDone(channel);
    });
    progress.hide();

    protocol_->WritePpiMode(acquisition::kPpiModeWord);
    // A day's snapshot is otherwise written only when midnight passes while the program runs; a
    // station switched on every morning would keep no record of the settings in force.
    archive_.EnsureUst(data_.Ustavki);
    archive_.ReadUst("no");
}

void Program::StartWebView() {
    auto view = std::make_unique<web::WebView>(web::WebView::Services{data_, archive_, env_.Clock, *port_});
    QString why;
    if (!view->Listen(QHostAddress(webAddress_), webPort_, why)) {
        // The program runs on without it: the station matters more than the web page.
        const QString place = webAddress_ + QLatin1Char(':') + QString::number(webPort_);
        std::fprintf(stderr, "Registrator: web view not started on %s: %s\n", qPrintable(place),
                     qPrintable(why));
        mainWindow_->ShowServiceProblem(QStringLiteral("Веб-просмотр не запущен: ") + place +
                                    QStringLiteral(" — ") + view->ProblemText());
        return;
    }
    web_ = std::move(view);
    web_->SetMetricsSource([this] { return MetricsText(); });
    connect(mainWindow_.get(), &MainWindow::displayRefreshed, web_.get(), &web::WebView::PublishPanel);
}

void Program::StartModbus() {
    auto server = std::make_unique<service::ModbusServer>();
    std::string why;
    if (!server->Listen(modbusAddress_.toStdString(), modbusPort_, modbusUnit_, why)) {
        // As for the web view: the station records on without it.
        std::fprintf(stderr, "Registrator: Modbus server not started: %s\n", why.c_str());
        mainWindow_->ShowServiceProblem(QStringLiteral("Modbus не запущен: ") + QString::fromStdString(why));
        return;
    }
    modbus_ = std::move(server);
    // Served before the first cycle too, with the status of a program starting up.
    modbusImage_.Update(data_, shownStates_, CurrentStatus(), modbusOrder_);
    modbus_->Publish(modbusImage_);
}

void Program::FollowScanCycle() {
    ++scanCycles_;
    notify_.CycleDone(service::SystemdNotify::Clock::now());
    shownStates_.Follow(data_);
    scanHistogram_.Observe(mainWindow_->LastScanSeconds());
    if (modbus_) {
        modbusImage_.Update(data_, shownStates_, CurrentStatus(), modbusOrder_);
        modbus_->Publish(modbusImage_);
    }
}

integration::RecorderStatus Program::CurrentStatus() {
    const archive::AppendStatus& appends = archive_.Status();
    const bool today = appends.Day != 0 && appends.Day == env_.Clock.Today();
    const std::uint64_t records = today ? appends.RecordsToday : 0;
    if (records != recordsSeen_ && records != 0)
        lastRecordUnix_ = static_cast<std::uint32_t>(QDateTime::currentSecsSinceEpoch());
    recordsSeen_ = records;
    integration::RecorderStatus status;
    status.RecordsToday = static_cast<std::uint32_t>(records);
    status.LastRecordUnix = lastRecordUnix_;
    status.ScanCycles = scanCycles_;
    status.PortState = !port_->SimulationNote().empty() ? 1 : (port_->IsReady() ? 0 : 2);
    status.AppendsFailing = appends.Failures != 0;
    status.AvgCount = data_.AvgCount;
    status.FastMs = static_cast<std::uint16_t>(std::min(mainWindow_->Timer1().interval(), 65535));
    status.SlowMs = static_cast<std::uint16_t>(std::min(mainWindow_->Timer2().interval(), 65535));
    return status;
}

std::string Program::MetricsText() {
    const integration::RecorderStatus status = CurrentStatus();
    return integration::PrometheusText({data_, shownStates_, status, scanHistogram_,
                                        archive_.Status().Failures, modbus_ ? modbus_->Clients() : 0});
}

void Program::RequestEnd() {
    endRequested_ = true;
    // Before the event loop runs (a start-up box is open) quitting does nothing: closing the box lets
    // start-up finish, and it queues the end itself.
    CloseOpenBoxes();
    QCoreApplication::quit();
}

void Program::Shutdown() {
    if (shutDown_ || !mainWindow_)
        return;
    shutDown_ = true;
    notify_.Stopping();
    // Before the port goes: nothing may answer from a half-ended program.
    web_.reset();
    modbus_.reset();
    // No tick may run inside a box shown while the program ends.
    mainWindow_->Timer1().stop();
    mainWindow_->Timer2().stop();
    mainWindow_->hide();
    if (timingWindow_)
        timingWindow_->hide();
    if (calibrationWindow_)
        calibrationWindow_->hide();
    if (sectionWindow_)
        sectionWindow_->hide();
    if (coefficientWindow_)
        coefficientWindow_->hide();
    if (aboutWindow_)
        aboutWindow_->hide();
    if (archiveViewerWindow_)
        archiveViewerWindow_->hide();
    if (archiveFolderWindow_)
        archiveFolderWindow_->hide();
    guard_([&] { SaveSettings(); });
    // Held until the settings are on disk: a program started meanwhile must not read them half-saved.
    lock_.Release();
}

void Program::SaveSettings() {
    ProgressWindow progress;
    progress.Begin(QStringLiteral("ИДЕТ СОХРАНЕНИЕ"));
    channels::SettingsFile(SettingsPath(), env_.Regional).SaveAll(data_.Ustavki, [&](int channel) {
        progress.ShowChannelDone(channel);
    });
    progress.hide();
    protocol_.reset();
    port_.reset();
}

} // namespace registrator::ui
