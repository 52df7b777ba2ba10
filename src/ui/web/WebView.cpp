#include "ui/web/WebView.h"

#include "common/DateTime.h"
#include "ui/monitor/MainWindow.h"
#include "ui/web/ArchiveDate.h"
#include "ui/web/DayCsv.h"
#include "ui/web/WebListener.h"
#include "ui/web/WebPages.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <memory>

namespace registrator::web {

namespace {

using Status = QHttpServerResponder::StatusCode;

// A page that has not taken this much of its stream has stopped reading; it is let go.
constexpr qint64 kMaxStreamBacklog = 256 * 1024;
constexpr int kMaxArchiveJobs = 4;

const QByteArray kHtml = "text/html; charset=utf-8";
const QByteArray kJson = "application/json";
const QByteArray kCsv = "text/csv; charset=utf-8";

// "/motor/7" -> 7; only the plain numbers 1..72.
int ChannelOf(QStringView text) {
    bool ok = false;
    const int channel = text.toInt(&ok);
    if (!ok || channel < 1 || channel > channels::kChannelCount || QString::number(channel) != text)
        return 0;
    return channel;
}

QString TimeOfDay(common::TDateTime time) {
    return QString::fromStdString(common::FormatTime(time, "HH:mm:ss"));
}

} // namespace

WebView::WebView(Services services, QObject* parent)
    : QAbstractHttpServer(parent), services_(services), listener_(new WebListener(this)) {
    states_.fill(monitor::PanelState::Running);
    states_[0] = monitor::PanelState::Off; // as the main window starts
    archiveReaders_.setMaxThreadCount(1);
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
    // A job still reading posts its answer to this object; it must be done before the object goes.
    archiveReaders_.waitForDone();
}

bool WebView::Listen(const QHostAddress& address, quint16 port, QString& error) {
    if (!listener_->listen(address, port)) {
        error = listener_->errorString();
        return false;
    }
    bind(listener_);
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

void WebView::PublishPanel() {
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const monitor::PanelState state =
            monitor::ClassifyReading(services_.Data.Current(n).Value, services_.Data.Ustavki[n]);
        if (state != monitor::PanelState::Unchanged)
            states_[static_cast<std::size_t>(n - 1)] = state;
    }
    refreshedAt_ = services_.Clock.TimeOfDayNow();
    if (!streams_.isEmpty() && sinceSent_.elapsed() >= pushIntervalMs_)
        Push();
}

void WebView::Push() {
    sinceSent_.restart();
    if (streams_.isEmpty())
        return;
    const QByteArray event = "event: panel\ndata: " + PanelJson() + "\n\n";
    for (qsizetype i = 0; i < streams_.size(); ++i) {
        QTcpSocket* socket = streams_[i];
        if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
            streams_.removeAt(i--);
            continue;
        }
        if (socket->bytesToWrite() > kMaxStreamBacklog) {
            streams_.removeAt(i--);
            socket->abort();
            continue;
        }
        socket->write(event);
    }
}

QByteArray WebView::PanelJson() const {
    QJsonArray texts;
    QJsonArray colours;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        texts.append(refreshedAt_ == 0 ? QStringLiteral("000")
                                       : QString::fromStdString(
                                             monitor::CurrentLabelText(services_.Data.Current(n).Value)));
        colours.append(ui::PanelColour(states_[static_cast<std::size_t>(n - 1)]).name());
    }
    QJsonObject panel{{"texts", texts},
                      {"colours", colours},
                      {"refreshed", refreshedAt_ == 0 ? QString() : TimeOfDay(refreshedAt_)},
                      {"simulated", !services_.Port.SimulationNote().empty()}};
    return QJsonDocument(panel).toJson(QJsonDocument::Compact);
}

QByteArray WebView::HealthJson() const {
    const archive::AppendStatus& status = services_.Archive.Status();
    const bool simulated = !services_.Port.SimulationNote().empty();
    const bool today = status.Day != 0 && status.Day == services_.Clock.Today();
    QJsonObject health{
        {"port", simulated ? "simulated" : (services_.Port.IsReady() ? "open" : "closed")},
        {"recordsToday", static_cast<qint64>(today ? status.RecordsToday : 0)},
        {"lastAppendOk", status.Day != 0 && status.Failures == 0},
        {"failedAppends", static_cast<qint64>(status.Failures)},
        {"refreshed", refreshedAt_ == 0 ? QString() : TimeOfDay(refreshedAt_)},
        {"pages", Pages()},
        {"rejectedRequests", static_cast<qint64>(listener_->Rejected())},
    };
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
    QJsonObject motor{{"channel", channel},
                      {"name", QString::fromStdString(settings.Name.Utf8())},
                      {"nominal", settings.T_Nom},
                      {"critical", settings.T_Max},
                      {"times", times},
                      {"values", values}};
    return QJsonDocument(motor).toJson(QJsonDocument::Compact);
}

bool WebView::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    // The listener has let only GET and HEAD through; this holds should it ever change.
    if (request.method() != QHttpServerRequest::Method::Get &&
        request.method() != QHttpServerRequest::Method::Head) {
        Answer(request, socket, 405, {}, kHtml);
        return true;
    }
    const QString path = request.url().path();
    if (path == QLatin1String("/")) {
        Answer(request, socket, 200, PanelPage(PanelJson()), kHtml);
    } else if (path == QLatin1String("/events")) {
        OpenStream(request, socket);
    } else if (path == QLatin1String("/health")) {
        Answer(request, socket, 200, HealthJson(), kJson);
    } else if (path == QLatin1String("/favicon.ico")) {
        Answer(request, socket, 204, {}, kHtml);
    } else if (path.startsWith(QLatin1String("/motor/"))) {
        QStringView rest = QStringView(path).mid(7);
        const bool data = rest.endsWith(QLatin1String("/data"));
        if (data)
            rest.chop(5);
        const int channel = ChannelOf(rest);
        if (channel == 0)
            return false;
        if (data)
            Answer(request, socket, 200, MotorJson(channel), kJson);
        else
            Answer(request, socket, 200, MotorPage(channel, services_.Data.Ustavki[channel]), kHtml);
    } else if (path.startsWith(QLatin1String("/archive/"))) {
        const QString rest = path.mid(9);
        const bool summary = rest.endsWith(QLatin1String("/summary.csv"));
        if (!summary && !rest.endsWith(QLatin1String(".csv")))
            return false;
        const QString dateText = rest.left(rest.size() - (summary ? 12 : 4));
        const auto date = ParseArchiveDate(dateText.toStdString());
        if (!date) {
            Answer(request, socket, 400, "Дата в адресе: ДД.ММ.ГГГГ, например 06.12.2026\n",
                   "text/plain; charset=utf-8");
            return true;
        }
        ServeDayCsv(request, socket, *date, summary);
    } else {
        return false;
    }
    return true;
}

void WebView::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    Answer(request, socket, 404, "Нет такой страницы\n", "text/plain; charset=utf-8");
}

void WebView::Answer(const QHttpServerRequest& request, QTcpSocket* socket, int status,
                     const QByteArray& body, const QByteArray& type) {
    if (status >= 400)
        listener_->CountRejected();
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(static_cast<Status>(status));
    responder.writeHeaders({{"Content-Type", type},
                            {"Content-Length", QByteArray::number(body.size())},
                            {"Cache-Control", "no-store"},
                            {"X-Content-Type-Options", "nosniff"},
                            {"Content-Security-Policy",
                             "default-src 'self'; script-src 'unsafe-inline'; style-src 'unsafe-inline'"}});
    if (status == 405)
        responder.writeHeader("Allow", "GET, HEAD");
    responder.writeBody(request.method() == QHttpServerRequest::Method::Head ? QByteArray() : body);
}

void WebView::OpenStream(const QHttpServerRequest& request, QTcpSocket* socket) {
    if (!listener_->StreamRoom()) {
        Answer(request, socket, 503, {}, kHtml);
        return;
    }
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(Status::Ok);
    responder.writeHeaders({{"Content-Type", "text/event-stream"},
                            {"Cache-Control", "no-store"},
                            {"Connection", "close"},
                            {"X-Accel-Buffering", "no"}});
    if (request.method() == QHttpServerRequest::Method::Head) {
        responder.writeBody(QByteArray());
        socket->disconnectFromHost();
        return;
    }
    // A page reconnects a second after the program comes back.
    responder.writeBody("retry: 1000\n\nevent: panel\ndata: " + PanelJson() + "\n\n");
    listener_->MarkStream(socket);
    streams_.append(socket);
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { streams_.removeAll(socket); });
}

void WebView::ServeDayCsv(const QHttpServerRequest& request, QTcpSocket* socket, const std::string& date,
                          bool summary) {
    if (archiveJobs_ >= kMaxArchiveJobs) {
        Answer(request, socket, 503, "Архив занят, повторите запрос\n", "text/plain; charset=utf-8");
        return;
    }
    ++archiveJobs_;
    const bool head = request.method() == QHttpServerRequest::Method::Head;
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    const QPointer<QTcpSocket> client(socket);
    const std::string readings = services_.Archive.ReadingsPath(date);
    const std::string snapshot = services_.Archive.SnapshotPath(date);
    // A copy: the thresholds may change on the GUI thread while the file is read.
    const channels::UstavkiTable present = services_.Data.Ustavki;
    const DayCsvKind kind = summary ? DayCsvKind::Summary : DayCsvKind::Readings;
    // Reading and formatting a whole day takes long; it must not hold up a tick.
    archiveReaders_.start([this, responder, client, readings, snapshot, present, kind, head, date] {
        auto csv = std::make_shared<DayCsv>(MakeDayCsv(kind, readings, snapshot, present));
        QMetaObject::invokeMethod(
            this,
            [this, responder, client, csv, head, date] {
                --archiveJobs_;
                if (!client || client->state() != QAbstractSocket::ConnectedState)
                    return;
                if (!csv->Found) {
                    listener_->CountRejected();
                    const QByteArray body =
                        "За " + QByteArray::fromStdString(date) + " в архиве нет записей\n";
                    responder->write(head ? QByteArray() : body,
                                     {{"Content-Type", "text/plain; charset=utf-8"}}, Status::NotFound);
                    return;
                }
                const QByteArray body = QByteArray::fromStdString(csv->Text);
                responder->writeStatusLine(Status::Ok);
                responder->writeHeaders({{"Content-Type", kCsv},
                                         {"Content-Length", QByteArray::number(body.size())},
                                         {"Cache-Control", "no-store"}});
                responder->writeBody(head ? QByteArray() : body);
            },
            Qt::QueuedConnection);
    });
}

} // namespace registrator::web
