#include "service/recorder/Station.h"

#include "channels/SettingsFile.h"
#include "integration/MqttMessages.h"
#include "monitor/ArchiveStatusLine.h"
#include "monitor/PanelState.h"
#include "service/modbus/ModbusServer.h"
#include "service/mqtt/MqttPublisher.h"
#include "service/web/WebView.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <algorithm>
#include <cctype>
#include <cmath>
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
      archive_(env_.ArchiveFolder, env_.Clock, messages_),
      journal_(std::make_unique<events::EventJournal>(env_.ArchiveFolder)) {}

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
    connect(recorder_.get(), &Recorder::scanned, this, &Station::FollowScanCycle);
    connect(recorder_.get(), &Recorder::historyStepped, this, &Station::FollowHistoryStep);
    connect(recorder_.get(), &Recorder::avgCountReset, this,
            [this] { JournalProgram(events::EventKind::AveragingReset, "опросов в усреднении: 5"); });
    return true;
}

void Station::StartServers() {
    if (!webAddress_.isEmpty())
        StartWebView();
    if (!modbusAddress_.isEmpty())
        StartModbus();
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
        JournalProgram(events::EventKind::PortNotReady,
                       portName_ + ": " +
                           std::system_category().message(static_cast<int>(port_->LastError())));
        return;
    }
    events::RepairNewestJournal(env_.ArchiveFolder);
    JournalProgram(events::EventKind::ProgramStarted,
                   events::PreviousEndNote(env_.ArchiveFolder, env_.Clock.Now()));
    journalDay_ = env_.Clock.Today();
    // Each motor's own start window, set by hand in the settings file; read once, as the rest is.
    const auto windows = channels::SettingsFile(SettingsPath(), env_.Regional)
                             .ReadStartWindows(events::MotorEventDetector::kDefaultStartWindowSeconds);
    for (int n = 1; n <= channels::kChannelCount; ++n)
        eventDetector_.SetStartWindow(n, windows[n]);
    // After start-up: its status tells the settings in force, and it reads only what is recorded.
    if (!mqttOptions_.Url.empty())
        StartMqtt();
    notify_.Ready(Simulated() ? "recording a simulated plant" : "recording");
}

void Station::Shutdown(SettingsProgress& progress) {
    if (shutDown_ || !recorder_)
        return;
    shutDown_ = true;
    notify_.Stopping();
    // Before the port goes: nothing may answer from a half-ended program.
    web_.reset();
    modbus_.reset();
    recorder_->StopTimers();
    // After the last record and before the end's own line: what was written goes to the broker first,
    // and what it did not take stays for the next start, said here.
    std::string unsent;
    if (mqtt_) {
        unsent = SayLeftover(mqtt_->Stop());
        mqtt_.reset();
    }
    if (!portRefused_)
        JournalProgram(events::EventKind::ProgramEnded, unsent);
    guard_([&] { recorder_->SaveSettings({SettingsPath(), env_.Regional}, progress); });
    // The stopped recorder stays, for what still asks about its timers; it never ticks again.
    protocol_.reset();
    port_.reset();
    // Held until the settings are on disk: a program started meanwhile must not read them half-saved.
    lock_.Release();
}

void Station::StartWebView() {
    auto view = std::make_unique<web::WebView>(web::WebView::Services{data_, archive_, env_.Clock, *port_});
    QString why;
    if (!view->Listen(QHostAddress(webAddress_), webPort_, why)) {
        // The program runs on without it: the station matters more than the web page.
        const QString place = webAddress_ + QLatin1Char(':') + QString::number(webPort_);
        std::fprintf(stderr, "Registrator: web view not started on %s: %s\n", qPrintable(place),
                     qPrintable(why));
        emit serviceProblem(QStringLiteral("Веб-просмотр не запущен: ") + place + QStringLiteral(" — ") +
                            view->ProblemText());
        return;
    }
    web_ = std::move(view);
    web_->SetMetricsSource([this] { return MetricsText(); });
    web_->SetEvents(&alarms_, [this] { return journal_->PathFor(env_.Clock.Today()); });
    web_->SetHealthExtras([this](QJsonObject& health) {
        // What a box would have told the operator: without windows nobody else hears it.
        health.insert(QStringLiteral("messages"), static_cast<qint64>(boxLog_.Count()));
        health.insert(QStringLiteral("lastMessage"), boxLog_.Last());
        health.insert(QStringLiteral("alarms"),
                      QJsonObject{{"active", alarms_.ActiveCount()},
                                  {"unacknowledged", alarms_.UnacknowledgedCount()}});
        if (mqtt_) {
            const MqttState state = mqtt_->State();
            health.insert(QStringLiteral("mqtt"),
                          QJsonObject{{"connected", state.Connected},
                                      {"problem", QString::fromStdString(state.Problem)},
                                      {"waiting", static_cast<qint64>(state.Waiting)},
                                      {"acknowledged", static_cast<qint64>(state.Acknowledged)}});
        }
    });
}

void Station::StartModbus() {
    auto server = std::make_unique<ModbusServer>();
    std::string why;
    if (!server->Listen(modbusAddress_.toStdString(), modbusPort_, modbusUnit_, why)) {
        // As for the web view: the station records on without it.
        std::fprintf(stderr, "Registrator: Modbus server not started: %s\n", why.c_str());
        emit serviceProblem(QStringLiteral("Modbus не запущен: ") + QString::fromStdString(why));
        return;
    }
    modbus_ = std::move(server);
    // Served before the first cycle too, with the status of a program starting up.
    modbusImage_.Update(data_, shownStates_, CurrentStatus(), modbusOrder_);
    modbus_->Publish(modbusImage_);
}

void Station::StartMqtt() {
    MqttSettings settings;
    std::string why;
    if (!ParseMqttUrl(mqttOptions_.Url, settings))
        why = "not an mqtt:// or mqtts:// address: " + mqttOptions_.Url;
    else if (!mqttOptions_.CredentialsFile.empty())
        ReadMqttCredentials(mqttOptions_.CredentialsFile, settings, why);
    if (!why.empty()) {
        std::fprintf(stderr, "Registrator: MQTT publisher not started: %s\n", why.c_str());
        emit serviceProblem(QStringLiteral("MQTT не запущен: ") + QString::fromStdString(why));
        return;
    }
    settings.Station = mqttOptions_.Station;
    settings.RecordsPerSecond = mqttOptions_.RecordsPerSecond;
    settings.ArchiveFolder = env_.ArchiveFolder;
    // One cursor per broker: a second broker gets every record too.
    std::string broker = settings.Host + "-" + std::to_string(settings.Port);
    for (char& c : broker)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.')
            c = '_';
    settings.CursorPath = env_.ArchiveFolder + "mqtt-" + broker + ".cursor";
    settings.EventsCursorPath = env_.ArchiveFolder + "mqtt-" + broker + ".events.cursor";
    settings.StartDay = env_.Clock.Today();
    const std::string station = integration::JsonString(settings.Station);
    settings.OnlineStatus = "{\"state\":\"online\",\"station\":" + station +
                            ",\"version\":\"" REGISTRATOR_VERSION "\"" +
                            ",\"simulated\":" + (Simulated() ? "true" : "false") +
                            ",\"avgCount\":" + std::to_string(data_.AvgCount) +
                            ",\"fastMs\":" + std::to_string(recorder_->Timer1().interval()) +
                            ",\"slowMs\":" + std::to_string(recorder_->Timer2().interval()) + "}";
    settings.OfflineStatus = "{\"state\":\"offline\",\"station\":" + station + "}";
    mqtt_ = std::make_unique<MqttPublisher>(std::move(settings));
    mqtt_->Start();
}

void Station::FollowHistoryStep() {
    JournalArchive();
    if (!mqtt_)
        return;
    mqtt_->Poke();
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const channels::TUstavka& settings = data_.Ustavki[n];
        // On change only, as the label and the colour show it: whole amperes, not every flicker.
        // The slot just archived: the step has moved the ring on to a fresh one.
        const std::size_t archived = (data_.TokIndex + channels::kRingSize - 1) % channels::kRingSize;
        const double current = std::nearbyint(data_.TokHistory.At(n, archived).Value);
        std::string payload = integration::MotorJson(n, settings, current, shownStates_[n]);
        if (payload != motorsSent_[n]) {
            mqtt_->PublishRetained(integration::MqttTopic(mqttOptions_.Station, "motor/" + std::to_string(n)),
                                   payload);
            motorsSent_[n] = std::move(payload);
        }
    }
    const MqttState state = mqtt_->State();
    QString line = state.Connected ? QStringLiteral("MQTT: связь с брокером есть")
                                   : QStringLiteral("MQTT: нет связи с брокером (") +
                                         QString::fromStdString(state.Problem) + QLatin1Char(')');
    if (state.Waiting > 1)
        line += QStringLiteral(", ждут отправки: ") + QString::number(state.Waiting);
    if (line != brokerLine_) {
        brokerLine_ = line;
        emit brokerChanged(line);
    }
}

void Station::JournalArchive() {
    const archive::AppendStatus& appends = archive_.Status();
    if ((appends.Failures != 0) != archiveFailing_) {
        archiveFailing_ = !archiveFailing_;
        events::Event event;
        event.Time = env_.Clock.Now();
        event.Kind =
            archiveFailing_ ? events::EventKind::ArchiveFailing : events::EventKind::ArchiveRecovered;
        event.Alarm = archiveFailing_;
        if (archiveFailing_)
            event.Text = monitor::DescribeArchive(appends, archive_.Snapshot(), env_.ArchiveFolder).Warning;
        Journal(event);
    }
    const common::TDateTime today = env_.Clock.Today();
    if (journalDay_ != 0 && today != journalDay_) {
        journalDay_ = today;
        JournalProgram(events::EventKind::DayChanged);
    }
}

void Station::Journal(const std::vector<events::Event>& lines, bool alarmsChanged) {
    if (lines.empty() && !alarmsChanged)
        return;
    // A journal that cannot be written costs no record; the alarm still sounds.
    for (const events::Event& event : lines) {
        journal_->Append(event, data_);
        alarmsChanged = alarms_.Follow(event) || alarmsChanged;
    }
    // Once for a cycle's lines, however many: each wakes the publisher and the windows redraw.
    if (mqtt_ && !lines.empty())
        mqtt_->Poke();
    if (alarmsChanged)
        emit this->alarmsChanged();
    if (!lines.empty())
        emit journalled();
}

void Station::Journal(const events::Event& event) {
    Journal(std::vector<events::Event>{event});
}

void Station::Acknowledge(events::EventKind kind, int channel) {
    Journal(alarms_.Acknowledge(kind, channel, env_.Clock.Now()), true);
}

void Station::AcknowledgeAll() {
    Journal(alarms_.AcknowledgeAll(env_.Clock.Now()), true);
}

void Station::JournalCalibration(int channel, const channels::TUstavka& before,
                                 const channels::TUstavka& after) {
    if (const auto event = events::CalibrationChange(env_.Clock.Now(), channel, before, after))
        Journal(*event);
}

void Station::JournalScanTiming(const events::ScanTiming& before, const events::ScanTiming& after) {
    if (const auto event = events::ScanTimingChange(env_.Clock.Now(), before, after))
        Journal(*event);
}

void Station::JournalProgram(events::EventKind kind, std::string note) {
    events::Event event;
    event.Time = env_.Clock.Now();
    event.Kind = kind;
    if (Simulated())
        note += note.empty() ? "имитация" : ", имитация";
    event.Text = std::move(note);
    Journal(event);
}

void Station::FollowScanCycle() {
    ++scanCycles_;
    cycleEvents_.clear();
    eventDetector_.Observe(env_.Clock.Now(), data_, cycleEvents_);
    Journal(cycleEvents_);
    notify_.CycleDone(SystemdNotify::Clock::now());
    shownStates_.Follow(data_);
    scanHistogram_.Observe(recorder_->LastScanSeconds());
    if (modbus_) {
        modbusImage_.Update(data_, shownStates_, CurrentStatus(), modbusOrder_);
        modbus_->Publish(modbusImage_);
    }
    if (web_)
        web_->PublishPanel();
}

integration::RecorderStatus Station::CurrentStatus() {
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
    status.PortState = Simulated() ? 1 : (port_->IsReady() ? 0 : 2);
    status.AppendsFailing = appends.Failures != 0;
    status.AvgCount = data_.AvgCount;
    status.FastMs = static_cast<std::uint16_t>(std::min(recorder_->Timer1().interval(), 65535));
    status.SlowMs = static_cast<std::uint16_t>(std::min(recorder_->Timer2().interval(), 65535));
    status.Messages = static_cast<std::uint16_t>(std::min<std::uint64_t>(boxLog_.Count(), 65535));
    status.ActiveAlarms = static_cast<std::uint16_t>(std::min(alarms_.ActiveCount(), 65535));
    status.UnacknowledgedAlarms = static_cast<std::uint16_t>(std::min(alarms_.UnacknowledgedCount(), 65535));
    if (mqtt_) {
        const MqttState state = mqtt_->State();
        status.Broker = state.Connected ? 1 : 2;
        status.BrokerWaiting =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(state.Waiting, 0xFFFFFFFFu));
    }
    return status;
}

std::string Station::MetricsText() {
    const integration::RecorderStatus status = CurrentStatus();
    return integration::PrometheusText({data_, shownStates_, status, scanHistogram_,
                                        archive_.Status().Failures, modbus_ ? modbus_->Clients() : 0});
}

} // namespace registrator::service
