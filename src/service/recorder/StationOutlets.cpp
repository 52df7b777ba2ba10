#include "service/recorder/StationOutlets.h"

#include "channels/SettingsFile.h"
#include "common/AtomicFile.h"
#include "common/Version.h"
#include "service/modbus/ModbusServer.h"
#include "service/tls/WebTls.h"
#include "service/web/WebLogin.h"
#include "service/web/WebView.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QSysInfo>
#include <cstdio>

namespace registrator::service {

StationOutlets::StationOutlets(Services services, OutletRequests requests)
    : services_(std::move(services)), requests_(std::move(requests)) {}

StationOutlets::~StationOutlets() = default;

void StationOutlets::StartServers() {
    if (!requests_.WebAddress.isEmpty())
        StartWebView();
    if (!requests_.ModbusAddress.isEmpty())
        StartModbus();
}

void StationOutlets::StartUpDone() {
    if (!requests_.Mqtt.Url.empty())
        StartMqtt();
    notify_.Ready(Simulated() ? "recording a simulated plant" : "recording");
}

void StationOutlets::CloseServers() {
    notify_.Stopping();
    web_.reset();
    modbus_.reset();
}

std::string StationOutlets::StopPublishing() {
    if (!mqtt_)
        return {};
    std::string unsent = SayLeftover(mqtt_->Stop());
    mqtt_.reset();
    return unsent;
}

void StationOutlets::StartWebView() {
    const QString& address = requests_.WebAddress;
    const QString place = address + QLatin1Char(':') + QString::number(requests_.WebPort);
    // The program runs on without it: the station matters more than the web page.
    const auto notStarted = [&](const QString& why, const QString& shown) {
        std::fprintf(stderr, "Registrator: web view not started on %s: %s\n", qPrintable(place),
                     qPrintable(why));
        emit serviceProblem(QStringLiteral("Веб-просмотр не запущен: ") + place + QStringLiteral(" — ") +
                            shown);
    };
    auto view = std::make_unique<web::WebView>(
        web::WebView::Services{services_.Data, services_.Archive, services_.Clock, services_.Port});
    const web::LoginOptions& login = requests_.WebLogin;
    if (!login.UsersFile.empty()) {
        std::string problem;
        std::unique_ptr<web::WebLogin> door = web::WebLogin::Open(login, services_.Clock, problem);
        // Never open instead: a station whose users file is broken serves no web view at all.
        if (!door)
            return notStarted(QString::fromStdString(problem), QString::fromStdString(problem));
        door->SetJournal([this](events::EventKind kind, const std::string& details) {
            services_.Journal.JournalWebLogin(kind, details);
        });
        view->RequireLogin(std::move(door));
    }
    QString why;
    std::unique_ptr<tls::WebTls> certificate;
    if (!requests_.WebCertificate.isEmpty()) {
        // Never plain HTTP instead: a certificate that will not do leaves the web view off.
        certificate = WebCertificate(why);
        if (!certificate)
            return notStarted(why, QStringLiteral("HTTPS: ") + why);
    }
    const tls::WebTls* encrypted = certificate.get();
    if (certificate)
        view->EncryptWith(std::move(certificate));
    if (!view->Listen(QHostAddress(address), requests_.WebPort, why))
        return notStarted(why, view->ProblemText());
    const QString host =
        address.contains(QLatin1Char(':')) ? QLatin1Char('[') + address + QLatin1Char(']') : address;
    const QString url = (encrypted ? QStringLiteral("https://") : QStringLiteral("http://")) + host +
                        QLatin1Char(':') + QString::number(view->Port()) + QLatin1Char('/');
    if (encrypted)
        std::fprintf(stderr,
                     "Registrator: web view on %s (HTTPS only), certificate %s%s, SHA-256 fingerprint %s, "
                     "valid until %s%s\n",
                     qPrintable(url), qPrintable(encrypted->CertificatePath()),
                     encrypted->MadeNow() ? " (made now)" : "", qPrintable(encrypted->Fingerprint()),
                     qPrintable(encrypted->Expiry().date().toString(Qt::ISODate)),
                     encrypted->Expiry() < QDateTime::currentDateTimeUtc() ? " (expired: browsers refuse it)"
                                                                           : "");
    if (const web::WebLogin* door = view->Login())
        std::fprintf(stderr, "Registrator: web view on %s, log-in required (users: %d, from %s)\n",
                     qPrintable(url), door->Users(), login.UsersFile.c_str());
    else
        std::fprintf(stderr, "Registrator: web view on %s, open to anyone who reaches it (no --web-users)\n",
                     qPrintable(url));
    if (view->Login() && login.AllowPlain && !encrypted)
        std::fprintf(stderr, "Registrator: warning: --web-allow-plain-login: passwords cross the network "
                             "readable by anyone on the way\n");
    web_ = std::move(view);
    web_->SetMetricsSource([this] {
        return integration::PrometheusText({services_.Data, shownStates_, Status(), scanHistogram_});
    });
    web_->SetEvents(&services_.Journal.Alarms(),
                    [this] { return services_.Journal.PathFor(services_.Clock.Today()); });
    web_->SetStatusSource([this] { return Status(); });
    web_->SetHealthMargin([path = services_.SettingsPath] {
        return channels::SettingsFile(path, common::RegionalSettings::Russian()).ReadHealthMargin().Percent;
    });
}

std::unique_ptr<tls::WebTls> StationOutlets::WebCertificate(QString& why) const {
    if (requests_.WebCertificate != QLatin1String("self"))
        return tls::WebTls::FromFiles(requests_.WebCertificate, requests_.WebKey, why);
    // Beside the settings file, where an installed program may write (its link leads there).
    std::error_code error;
    const std::filesystem::path settings =
        common::FollowLinks(common::PathFromUtf8(services_.SettingsPath), error);
    const QString folder = QFileInfo(QString::fromStdString(common::Utf8FromPath(settings))).absolutePath();
    return tls::WebTls::Own({folder, QSysInfo::machineHostName()}, why);
}

void StationOutlets::StartModbus() {
    auto server = std::make_unique<ModbusServer>();
    server->AllowOnly(requests_.ModbusAllowed);
    std::string why;
    if (!server->Listen(requests_.ModbusAddress.toStdString(), requests_.ModbusPort, requests_.ModbusUnit,
                        why)) {
        // As for the web view: the station records on without it.
        std::fprintf(stderr, "Registrator: Modbus server not started: %s\n", why.c_str());
        emit serviceProblem(QStringLiteral("Modbus не запущен: ") + QString::fromStdString(why));
        return;
    }
    modbus_ = std::move(server);
    // Modbus TCP has no log-in of its own: the start says whom the server answers.
    const std::string where = requests_.ModbusAddress.toStdString() + ':' + std::to_string(modbus_->Port());
    if (requests_.ModbusAllowed.Networks.empty())
        std::fprintf(stderr,
                     "Registrator: Modbus TCP on %s serves every client address (--modbus-allow limits it)\n",
                     where.c_str());
    else
        std::fprintf(stderr, "Registrator: Modbus TCP on %s serves only %s\n", where.c_str(),
                     requests_.ModbusAllowed.Text.c_str());
    // Served before the first cycle too, with the status of a program starting up.
    modbusImage_.Update(services_.Data, shownStates_, Status(), requests_.ModbusOrder);
    modbus_->Publish(modbusImage_);
}

void StationOutlets::StartMqtt() {
    MqttSettings settings;
    std::string why;
    if (!MqttSettingsFrom(requests_.Mqtt, services_.ArchiveFolder, settings, why)) {
        std::fprintf(stderr, "Registrator: MQTT publisher not started: %s\n", why.c_str());
        emit serviceProblem(QStringLiteral("MQTT не запущен: ") + QString::fromStdString(why));
        return;
    }
    settings.StartDay = services_.Clock.Today();
    settings.OnlineStatus =
        integration::OnlineStatusJson(settings.Station, common::ProgramVersion(), Status());
    settings.OfflineStatus = integration::OfflineStatusJson(settings.Station);
    mqtt_ = std::make_unique<MqttPublisher>(std::move(settings), services_.Clock);
    mqtt_->Start();
}

void StationOutlets::FollowScanCycle() {
    ++scanCycles_;
    notify_.CycleDone(SystemdNotify::Clock::now());
    shownStates_.Follow(services_.Data);
    scanHistogram_.Observe(services_.Recorder.LastScanSeconds());
    if (modbus_) {
        modbusImage_.Update(services_.Data, shownStates_, Status(), requests_.ModbusOrder);
        modbus_->Publish(modbusImage_);
    }
    if (web_)
        web_->PublishPanel();
}

void StationOutlets::FollowHistoryStep() {
    const std::uint64_t records =
        integration::RecordsToday(services_.Archive.Status(), services_.Clock.Today());
    if (records != recordsSeen_ && records != 0)
        lastRecordUnix_ = static_cast<std::uint32_t>(services_.Clock.UnixSeconds());
    recordsSeen_ = records;
    if (!mqtt_)
        return;
    mqtt_->Poke();
    for (auto& [topic, payload] :
         retainedMotors_.Changed(requests_.Mqtt.Station, services_.Data, shownStates_))
        mqtt_->PublishRetained(topic, std::move(payload));
    const QString line = QString::fromStdString(integration::BrokerLine(mqtt_->State()));
    if (line != brokerLine_) {
        brokerLine_ = line;
        emit brokerChanged(line);
    }
}

void StationOutlets::FollowJournal() {
    if (mqtt_)
        mqtt_->Poke();
}

integration::StationStatus StationOutlets::Status() const {
    integration::StationStatus status =
        integration::StatusOfParts(services_.Archive.Status(), services_.Clock.Today(), services_.Port,
                                   services_.Data, services_.Journal.Alarms());
    status.LastRecordUnix = lastRecordUnix_;
    status.ScanCycles = scanCycles_;
    status.FastMs = services_.Recorder.Timer1().interval();
    status.SlowMs = services_.Recorder.Timer2().interval();
    status.Messages = services_.Boxes.Count();
    status.LastMessage = services_.Boxes.Last().toStdString();
    status.ModbusClients = modbus_ ? modbus_->Clients() : 0;
    status.ModbusServing = modbus_ != nullptr;
    status.ModbusAllowList = !requests_.ModbusAllowed.Networks.empty();
    status.ModbusRefused = modbus_ ? modbus_->Refused() : 0;
    if (mqtt_)
        status.Broker = mqtt_->State();
    return status;
}

} // namespace registrator::service
