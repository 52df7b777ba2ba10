#include "service/web/WebView.h"

#include "channels/SettingsFile.h"
#include "common/DateTime.h"
#include "common/Version.h"
#include "reports/ReportSchedule.h"
#include "service/web/ArchiveDate.h"
#include "service/web/DayCsvAnswer.h"
#include "service/web/HttpConnection.h"
#include "service/web/MotorHealthData.h"
#include "service/web/PageAssets.h"
#include "service/web/ReportListing.h"
#include "service/web/TrendData.h"
#include "service/web/WebListener.h"
#include "service/web/WebLogin.h"
#include "service/web/WebPages.h"
#include "service/web/WholeAnswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <cmath>

namespace registrator::web {

namespace {

// "#rrggbb", as the page's styles take it.
QString RgbName(monitor::PanelState state) {
    return QStringLiteral("#%1").arg(monitor::PanelRgb(state), 6, 16, QLatin1Char('0'));
}

// A page this far behind its stream is let go, even while it still takes a little.
constexpr qint64 kMaxStreamBacklog = 256 * 1024;

const QByteArray kHtml = "text/html; charset=utf-8";
const QByteArray kJson = "application/json";
constexpr int kAlarmsShown = 20;
const QByteArray kPlainText = "text/plain; charset=utf-8";

// "/motor/7" -> 7; only the plain numbers 1..72.
int ChannelOf(QStringView text) {
    bool ok = false;
    const int channel = text.toInt(&ok);
    if (!ok || channel < 1 || channel > channels::kChannelCount || QString::number(channel) != text)
        return 0;
    return channel;
}

QString StateWord(monitor::PanelState state) {
    switch (state) {
    case monitor::PanelState::Overloaded:
        return QStringLiteral("выше критического");
    case monitor::PanelState::AboveNominal:
        return QStringLiteral("выше номинального");
    case monitor::PanelState::Running:
        return QStringLiteral("в работе");
    case monitor::PanelState::Off:
    case monitor::PanelState::Unchanged:
        break;
    }
    return QStringLiteral("отключён");
}

QString TimeOfDay(common::TDateTime time) {
    return QString::fromStdString(common::FormatTime(time, "HH:mm:ss"));
}

} // namespace

WebView::WebView(Services services, QObject* parent)
    : QObject(parent), services_(services),
      listener_(new WebListener(
          [this](HttpConnection& connection, const RequestHead& request) { Serve(connection, request); },
          this)) {
    sinceSent_.start();
    // With a slow scan period set, pages still hear from the program every second.
    heartbeat_.setInterval(1000);
    connect(&heartbeat_, &QTimer::timeout, this, [this] {
        if (sinceSent_.elapsed() >= 1000)
            Push();
    });
    heartbeat_.start();
}

WebView::~WebView() {
    // The connections go while this object is whole; each takes its archive job's request with it, and
    // the job, never waited for, ends by itself.
    delete listener_;
}

bool WebView::Listen(const QHostAddress& address, quint16 port, QString& error) {
    if (!listener_->listen(address, port)) {
        error = listener_->errorString();
        return false;
    }
    return true;
}

QString WebView::ProblemText() const {
    switch (listener_->serverError()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("порт занят другой программой");
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QStringLiteral("адрес не принадлежит этому компьютеру");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("нет прав открыть этот порт");
    default:
        return listener_->errorString();
    }
}

quint16 WebView::Port() const {
    return listener_->serverPort();
}

void WebView::EncryptWith(std::unique_ptr<const tls::WebTls> tls) {
    listener_->EncryptWith(std::move(tls));
}

void WebView::PublishPanel() {
    states_.Follow(services_.Data);
    refreshedAt_ = services_.Clock.TimeOfDayNow();
    if (!streams_.isEmpty() && sinceSent_.elapsed() >= pushIntervalMs_)
        Push();
}

void WebView::Push() {
    sinceSent_.restart();
    if (streams_.isEmpty())
        return;
    const QByteArray event = "event: panel\ndata: " + PanelJson() + "\n\n";
    // A copy: a page let go leaves the list as it goes.
    const QList<QPointer<HttpConnection>> pages = streams_;
    for (HttpConnection* page : pages) {
        if (!page)
            continue;
        if (page->Backlog() > kMaxStreamBacklog)
            page->Abort();
        else
            page->Push(event);
    }
}

QByteArray WebView::PanelJson() const {
    QJsonArray texts;
    QJsonArray colours;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        texts.append(refreshedAt_ == 0 ? QStringLiteral("000")
                                       : QString::fromStdString(
                                             monitor::CurrentLabelText(services_.Data.Current(n).Value)));
        colours.append(RgbName(states_[n]));
    }
    QJsonObject panel{{"texts", texts},
                      {"colours", colours},
                      {"refreshed", refreshedAt_ == 0 ? QString() : TimeOfDay(refreshedAt_)},
                      {"simulated", !services_.Port.SimulationNote().empty()},
                      {"day", QString::fromStdString(common::ArchiveDateText(services_.Clock.Today()))}};
    if (alarms_) {
        // The ones still waiting for the operator, newest first; the count says how many more there are.
        QJsonArray waiting;
        for (const events::Alarm& alarm : alarms_->List()) {
            if (waiting.size() == kAlarmsShown)
                break;
            waiting.append(QJsonObject{
                {"text", QString::fromStdString(events::AlarmText(alarm, services_.Data.Ustavki))},
                {"active", alarm.Active},
                {"acknowledged", alarm.Acknowledged}});
        }
        panel.insert(QStringLiteral("alarms"), waiting);
        panel.insert(QStringLiteral("alarmCount"), static_cast<int>(alarms_->List().size()));
    }
    return QJsonDocument(panel).toJson(QJsonDocument::Compact);
}

QByteArray WebView::EventsJson() {
    journalTail_.Follow(todayJournal_());
    QJsonArray lines;
    // As the MQTT event message has them: null where the line has none.
    const auto figure = [](const std::optional<double>& value) {
        return value ? QJsonValue(*value) : QJsonValue();
    };
    const auto text = [](const std::string& value) {
        return value.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(value));
    };
    // Newest first, as the journal window shows them.
    for (auto it = journalTail_.Lines().rbegin(); it != journalTail_.Lines().rend(); ++it) {
        lines.append(QJsonObject{{"time", it->Time ? text(events::JournalTimeText(*it->Time)) : QJsonValue()},
                                 {"kind", QString::fromStdString(it->KindText())},
                                 {"channel", it->Channel ? QJsonValue(*it->Channel) : QJsonValue()},
                                 {"section", text(it->Section)},
                                 {"motor", text(it->Motor)},
                                 {"peak", figure(it->Peak)},
                                 {"seconds", figure(it->Seconds)},
                                 {"alarm", it->Alarm},
                                 {"text", QString::fromStdString(it->Details)}});
    }
    QJsonObject answer{{"day", QString::fromStdString(common::ArchiveDateText(services_.Clock.Today()))},
                       {"count", static_cast<qint64>(journalTail_.Count())},
                       {"lines", lines}};
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

QByteArray WebView::HealthJson() const {
    QJsonObject health;
    // Through QString: bytes that are not UTF-8 (a system's error text) come out as U+FFFD, not as a
    // document the parser refuses.
    if (status_)
        health = QJsonDocument::fromJson(QString::fromStdString(integration::HealthJson(status_())).toUtf8())
                     .object();
    health.insert(QStringLiteral("version"), QString::fromLatin1(common::ProgramVersion()));
    health.insert(QStringLiteral("refreshed"), refreshedAt_ == 0 ? QString() : TimeOfDay(refreshedAt_));
    health.insert(QStringLiteral("pages"), Pages());
    health.insert(QStringLiteral("rejectedRequests"), static_cast<qint64>(listener_->Rejected()));
    health.insert(QStringLiteral("webLogin"), login_ ? QStringLiteral("required") : QStringLiteral("open"));
    return QJsonDocument(health).toJson(QJsonDocument::Compact);
}

QByteArray WebView::MotorJson(int channel) const {
    const channels::TUstavka& settings = services_.Data.Ustavki[channel];
    const channels::TTokSlot* ring = services_.Data.TokHistory.Ring(channel);
    QJsonArray times;
    QJsonArray values;
    // Oldest slot first, the current one last, as the section window's chart runs; slots never
    // written carry no reading.
    for (int i = 1; i <= channels::kRingSize; ++i) {
        const channels::TTokSlot& slot = ring[(services_.Data.TokIndex + i) % channels::kRingSize];
        if (slot.Time == 0 && slot.Value == 0)
            continue;
        times.append(qRound64(slot.Time * 86400000.0));
        values.append(slot.Value);
    }
    // The present reading and state as the main window shows them.
    const monitor::PanelState state = states_[channel];
    QJsonObject motor{{"channel", channel},
                      {"name", QString::fromStdString(settings.Name.Utf8())},
                      {"nominal", settings.T_Nom},
                      {"critical", settings.T_Max},
                      {"current", refreshedAt_ == 0 ? QString()
                                                    : QString::fromStdString(monitor::CurrentLabelText(
                                                          services_.Data.Current(channel).Value))},
                      {"state", StateWord(state)},
                      {"colour", RgbName(state)},
                      {"times", times},
                      {"values", values}};
    return QJsonDocument(motor).toJson(QJsonDocument::Compact);
}

void WebView::RequireLogin(std::unique_ptr<WebLogin> login) {
    login_ = std::move(login);
}

void WebView::Serve(HttpConnection& connection, const RequestHead& request) {
    if (!login_)
        return ServeAdmitted(connection, request);
    // The door may take a while (a password checked on its worker); the client may be gone by then.
    QPointer<HttpConnection> waiting(&connection);
    login_->Judge(connection.Peer(), connection.Encrypted(), request,
                  [this, waiting, request](const DoorAnswer& door) {
                      if (!waiting)
                          return;
                      if (door.Status == 0)
                          ServeAdmitted(*waiting, request);
                      else
                          Answer(*waiting, door.Status, door.Body, kPlainText, door.Headers);
                  });
}

void WebView::ServeAdmitted(HttpConnection& connection, const RequestHead& request) {
    if (!Route(connection, QString::fromLatin1(request.Path), request.Query))
        Answer(connection, 404, "Нет такой страницы\n", kPlainText);
}

bool WebView::Route(HttpConnection& connection, const QString& path, const QByteArray& query) {
    if (path == QLatin1String("/"))
        Answer(connection, 200, PanelPage(PanelJson()), kHtml);
    else if (path == QLatin1String("/stream"))
        OpenStream(connection);
    else if (path == QLatin1String("/events") && todayJournal_)
        Answer(connection, 200, EventsPage(), kHtml);
    else if (path == QLatin1String("/events/data") && todayJournal_)
        Answer(connection, 200, EventsJson(), kJson);
    else if (path == QLatin1String("/health"))
        Answer(connection, 200, HealthJson(), kJson);
    else if (path == QLatin1String("/health/motors"))
        ServeMotorHealth(connection);
    else if (path == QLatin1String("/metrics") && metrics_)
        Answer(connection, 200, QByteArray::fromStdString(metrics_()),
               "text/plain; version=0.0.4; charset=utf-8");
    else if (path == QLatin1String("/trend"))
        Answer(connection, 200, TrendPage(services_.Data.Ustavki, services_.Clock.Today()), kHtml);
    else if (path == QLatin1String("/trend/data"))
        ServeTrendData(connection, query);
    else if (path == QLatin1String("/reports"))
        ServeReportList(connection);
    else if (path.startsWith(QLatin1String("/reports/")))
        ServeReportFile(connection, path.mid(9));
    else if (path == QLatin1String("/report"))
        ServeReportCsv(connection, query);
    else if (path == QLatin1String("/favicon.ico"))
        Answer(connection, 204, {}, kHtml);
    else if (const PageAsset* asset = PageAssetAt(path))
        // Linked under a fingerprint of its content, so kept as long as the browser likes.
        connection.Answer(
            200, asset->Body,
            {{"Content-Type", asset->Type}, {"Cache-Control", "private, max-age=31536000, immutable"}});
    else if (path.startsWith(QLatin1String("/motor/")))
        return ServeMotor(connection, QStringView(path).mid(7));
    else if (path.startsWith(QLatin1String("/archive/")))
        return ServeArchive(connection, path.mid(9));
    else
        return false;
    return true;
}

bool WebView::ServeMotor(HttpConnection& connection, QStringView rest) {
    const bool data = rest.endsWith(QLatin1String("/data"));
    if (data)
        rest.chop(5);
    const int channel = ChannelOf(rest);
    if (channel == 0)
        return false;
    if (data)
        Answer(connection, 200, MotorJson(channel), kJson);
    else
        Answer(connection, 200, MotorPage(channel, services_.Data.Ustavki), kHtml);
    return true;
}

bool WebView::ServeArchive(HttpConnection& connection, QString rest) {
    // "/archive/excel/…": the same tables as a spreadsheet under Russian regional settings opens them.
    const bool sheet = rest.startsWith(QLatin1String("excel/"));
    if (sheet)
        rest.remove(0, 6);
    const bool summary = rest.endsWith(QLatin1String("/summary.csv"));
    if (!summary && !rest.endsWith(QLatin1String(".csv")))
        return false;
    const auto date = ParseArchiveDate(rest.left(rest.size() - (summary ? 12 : 4)).toStdString());
    if (!date)
        Answer(connection, 400, "Дата в адресе: ДД.ММ.ГГГГ, например 06.12.2026\n", kPlainText);
    else
        ServeDayCsv(connection, *date, summary,
                    sheet ? archive::CsvForm::Spreadsheet : archive::CsvForm::Plain);
    return true;
}

void WebView::Answer(HttpConnection& connection, int status, const QByteArray& body, const QByteArray& type,
                     const HttpHeaders& extra) {
    if (status >= 400)
        listener_->CountRejected();
    connection.Answer(status, body, HttpHeaders{{"Content-Type", type}} + extra);
}

void WebView::OpenStream(HttpConnection& connection) {
    if (!listener_->StreamRoom(connection.Peer())) {
        Answer(connection, 503, {}, kHtml);
        return;
    }
    const bool open =
        connection.BeginStream({{"Content-Type", "text/event-stream"}, {"X-Accel-Buffering", "no"}});
    if (!open)
        return; // HEAD
    // A page reconnects a second after the program comes back.
    connection.Push("retry: 1000\n\nevent: panel\ndata: " + PanelJson() + "\n\n");
    streams_.append(&connection);
    connect(&connection, &HttpConnection::closed, this,
            [this](HttpConnection* closed) { streams_.removeAll(closed); });
}

void WebView::ServeDayCsv(HttpConnection& connection, const std::string& date, bool summary,
                          archive::CsvForm form) {
    const DayCsvKind kind = summary ? DayCsvKind::Summary : DayCsvKind::Readings;
    auto* answer = new DayCsvAnswer(connection, QString::fromStdString(date), kind, form,
                                    [this] { listener_->CountRejected(); });
    // A copy of the thresholds: they may change on the GUI thread while the day is read.
    auto csv = std::make_unique<DayCsv>(kind, services_.Archive.ReadingsPath(date),
                                        services_.Archive.SnapshotPath(date), services_.Data.Ustavki, form);
    if (!answer->Start(std::move(csv), runningJobs_)) {
        delete answer;
        Answer(connection, 503, "Архив занят, повторите запрос\n", kPlainText);
    }
}

void WebView::ServeTrendData(HttpConnection& connection, const QByteArray& query) {
    std::string error;
    std::optional<history::SeriesRequest> request = ParseTrendQuery(query.toStdString(), error);
    if (!request) {
        Answer(connection, 400, QByteArray::fromStdString(error), kPlainText);
        return;
    }
    // A copy of the thresholds, as for a day's CSV; links refused, as for every file served.
    history::ArchiveHistory history(services_.Archive.Folder(), services_.Data.Ustavki,
                                    monitor::ThresholdSource::PresentSettings,
                                    archive::ArchiveFile::Links::Refuse);
    AnswerWhole(connection, std::make_unique<TrendData>(std::move(history), std::move(*request)),
                "График не построен: ");
}

void WebView::ServeMotorHealth(HttpConnection& connection) {
    const channels::UstavkiTable& present = services_.Data.Ustavki;
    // Read anew once the thresholds change; the days already read are kept otherwise.
    if (!health_ || !health_->ReadWith(present))
        health_ = std::make_shared<reports::HealthArchive>(history::ArchiveHistory(
            services_.Archive.Folder(), present, monitor::ThresholdSource::PresentSettings,
            archive::ArchiveFile::Links::Refuse));
    reports::HealthRules rules;
    rules.Margin = (healthMargin_ ? healthMargin_() : channels::HealthMargin::kDefaultPercent) / 100.0;
    AnswerWhole(connection,
                std::make_unique<MotorHealthData>(health_, present, services_.Clock.Today(), rules),
                "Состояние двигателей не посчитано: ");
}

void WebView::AnswerWhole(HttpConnection& connection, std::unique_ptr<ArchiveWork> work,
                          const char* failure) {
    StartWhole(connection, std::move(work),
               [this, failure](HttpConnection& to, const std::string& body, const std::string& why) {
                   if (why.empty())
                       Answer(to, 200, QByteArray::fromStdString(body), kJson);
                   else
                       Answer(to, 500, QByteArray::fromStdString(failure + why + "\n"), kPlainText);
               });
}

void WebView::StartWhole(HttpConnection& connection, std::unique_ptr<ArchiveWork> work,
                         std::function<void(HttpConnection&, const std::string&, const std::string&)> done) {
    auto* answer = new WholeAnswer(connection, std::move(done));
    if (!answer->Start(std::move(work), runningJobs_)) {
        delete answer;
        Answer(connection, 503, "Архив занят, повторите запрос\n", kPlainText);
    }
}

void WebView::ServeReportList(HttpConnection& connection) {
    StartWhole(connection,
               std::make_unique<ReportListPage>(reports::ReportsFolderOf(services_.Archive.Folder())),
               [this](HttpConnection& to, const std::string& body, const std::string&) {
                   Answer(to, 200, QByteArray::fromStdString(body), kHtml);
               });
}

void WebView::ServeReportFile(HttpConnection& connection, const QString& linkName) {
    const std::string name = linkName.toStdString();
    const std::string type = ReportContentType(name);
    if (type.empty()) {
        Answer(connection, 404, "Нет такого отчёта\n", kPlainText);
        return;
    }
    StartWhole(
        connection,
        std::make_unique<ReportFileRead>(reports::ReportsFolderOf(services_.Archive.Folder()), name),
        [this, name, type](HttpConnection& to, const std::string& body, const std::string& why) {
            if (why == kNoSuchReport) {
                Answer(to, 404, "Нет такого отчёта\n", kPlainText);
                return;
            }
            if (!why.empty()) {
                Answer(to, 500, QByteArray::fromStdString("Отчёт не прочитан: " + why + "\n"), kPlainText);
                return;
            }
            // The file's own name comes first, for the browser to save it under.
            const std::size_t feed = body.find('\n');
            const QByteArray own = QUrl::toPercentEncoding(QString::fromStdString(body.substr(0, feed)));
            to.Answer(200, QByteArray::fromStdString(body.substr(feed + 1)),
                      {{"Content-Type", QByteArray::fromStdString(type)},
                       {"Content-Disposition", "attachment; filename=\"" + QByteArray::fromStdString(name) +
                                                   "\"; filename*=UTF-8''" + own}});
        });
}

void WebView::ServeReportCsv(HttpConnection& connection, const QByteArray& query) {
    std::string error;
    const std::optional<reports::ReportPeriod> period = ParseReportQuery(query.toStdString(), error);
    if (!period) {
        Answer(connection, 400, QByteArray::fromStdString(error), kPlainText);
        return;
    }
    reports::FiguresRequest request;
    request.From = period->From;
    // What has not happened yet is no time without records.
    const common::TDateTime now = std::ceil(services_.Clock.Now() * 1440) / 1440;
    request.To = period->From < now ? std::min(period->To, now) : period->To;
    request.Supplies = supplies_;
    // As for a chart: a copy of the thresholds, links refused.
    history::ArchiveHistory history(services_.Archive.Folder(), services_.Data.Ustavki,
                                    monitor::ThresholdSource::PresentSettings,
                                    archive::ArchiveFile::Links::Refuse);
    StartWhole(connection, std::make_unique<ReportCsv>(std::move(history), request),
               [this](HttpConnection& to, const std::string& body, const std::string& why) {
                   if (why.empty())
                       Answer(to, 200, QByteArray::fromStdString(body), "text/csv; charset=utf-8");
                   else
                       Answer(to, 500, QByteArray::fromStdString("Отчёт не посчитан: " + why + "\n"),
                              kPlainText);
               });
}

} // namespace registrator::web
