#pragma once

#include "acquisition/PortAccess.h"
#include "archive/Archive.h"
#include "archive/CsvExport.h"
#include "channels/ChannelData.h"
#include "channels/SettingsFile.h"
#include "common/Clock.h"
#include "events/ActiveAlarms.h"
#include "events/JournalTail.h"
#include "integration/StationStatus.h"
#include "monitor/ShownPanelStates.h"
#include "reports/HealthTrend.h"
#include "service/web/ArchiveWork.h"
#include "service/web/HttpConnection.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace registrator::tls {
class WebTls;
}

namespace registrator::web {

class WebListener;
class WebLogin;
struct RequestHead;

// The opt-in read-only web view: the mimic panel as a live page, one motor's trend, trends over any
// period, a day's archive as CSV and the program's health as JSON. It reads the same channel data and
// archive the windows read, on the GUI thread (a day's CSV and a period's chart on a thread of their
// own), and never writes to them but for the digests a period's chart is read from.
class WebView : public QObject {
    Q_OBJECT
public:
    struct Services {
        const channels::ChannelData& Data;
        const archive::Archive& Archive;
        const common::Clock& Clock;
        const acquisition::PortAccess& Port;
    };

    explicit WebView(Services services, QObject* parent = nullptr);
    ~WebView() override;

    // Listens on the address; on failure `error` says why (a port in use, an address not of this
    // computer) and nothing is served.
    bool Listen(const QHostAddress& address, quint16 port, QString& error);
    quint16 Port() const;
    // Before Listen: HTTPS only, with this certificate.
    void EncryptWith(std::unique_ptr<const tls::WebTls> tls);
    // Why Listen failed, in the operator's words.
    QString ProblemText() const;

    // After each refresh of the main window's labels and colours: the same texts and colours, pushed
    // to the connected pages at most every 200 ms, and at least every second so a page can tell it is live.
    void PublishPanel();
    // 200 ms unless changed; 0 pushes every refresh (the worst case the benchmark measures).
    void SetPushIntervalMs(qint64 ms) { pushIntervalMs_ = ms; }

    // What /metrics serves (the Prometheus text); without one, /metrics is not found.
    void SetMetricsSource(std::function<std::string()> metrics) { metrics_ = std::move(metrics); }
    // The station's status /health tells beside the web view's own figures (the port, the archive, the
    // boxes, the alarms, the broker).
    void SetStatusSource(std::function<integration::StationStatus()> status) { status_ = std::move(status); }

    // The alarms shown on top of the panel page, and where today's journal is, for /events; without
    // them the page has no alarms and /events is not found.
    void SetEvents(const events::ActiveAlarms* alarms, std::function<std::string()> todayJournal) {
        alarms_ = alarms;
        todayJournal_ = std::move(todayJournal);
    }

    // The health margin in percent, as the settings file holds it now; without it, the default.
    void SetHealthMargin(std::function<int()> percent) { healthMargin_ = std::move(percent); }

    // Each motor's supply, for the energy /report counts (380 V and 0.85 until told).
    void SetReportSupplies(const std::array<channels::MotorSupply, channels::kChannelCount + 1>& supplies) {
        supplies_ = supplies;
    }

    // From now on every address but /health (and /metrics, when the door says so) needs a log-in; without
    // a door, the web view is open to anyone who reaches it.
    void RequireLogin(std::unique_ptr<WebLogin> login);
    WebLogin* Login() { return login_.get(); }

    int Pages() const { return static_cast<int>(streams_.size()); }
    const WebListener& Listener() const { return *listener_; }

private:
    void Serve(HttpConnection& connection, const RequestHead& request);
    void ServeAdmitted(HttpConnection& connection, const RequestHead& request);
    // False when no page has the path.
    bool Route(HttpConnection& connection, const QString& path, const QByteArray& query);
    bool ServeMotor(HttpConnection& connection, QStringView rest);
    bool ServeArchive(HttpConnection& connection, QString rest);
    void Push();
    QByteArray PanelJson() const;
    QByteArray HealthJson() const;
    QByteArray EventsJson();
    QByteArray MotorJson(int channel) const;
    void OpenStream(HttpConnection& connection);
    void ServeDayCsv(HttpConnection& connection, const std::string& date, bool summary,
                     archive::CsvForm form);
    void ServeTrendData(HttpConnection& connection, const QByteArray& query);
    void ServeMotorHealth(HttpConnection& connection);
    // Starts `work` on a thread of its own, answering with its JSON once it ends.
    void AnswerWhole(HttpConnection& connection, std::unique_ptr<ArchiveWork> work, const char* failure);
    // /reports, /reports/<name> and /report?from=&to=, each made off the GUI thread.
    void ServeReportList(HttpConnection& connection);
    void ServeReportFile(HttpConnection& connection, const QString& linkName);
    void ServeReportCsv(HttpConnection& connection, const QByteArray& query);
    // Starts the work for a whole answer; 503 when too many are running.
    void StartWhole(HttpConnection& connection, std::unique_ptr<ArchiveWork> work,
                    std::function<void(HttpConnection&, const std::string&, const std::string&)> done);
    void Answer(HttpConnection& connection, int status, const QByteArray& body, const QByteArray& type,
                const HttpHeaders& extra = {});

    Services services_;
    const events::ActiveAlarms* alarms_ = nullptr;
    std::function<std::string()> todayJournal_;
    events::JournalTail journalTail_{500};
    WebListener* listener_;
    QList<QPointer<HttpConnection>> streams_;
    monitor::ShownPanelStates states_;
    std::function<std::string()> metrics_;
    std::function<integration::StationStatus()> status_;
    std::function<int()> healthMargin_;
    // The health days of the archive, kept between requests; shared with the jobs reading them.
    std::shared_ptr<reports::HealthArchive> health_;
    std::array<channels::MotorSupply, channels::kChannelCount + 1> supplies_{};
    common::TDateTime refreshedAt_ = 0; // time of day of the last refresh, 0 before the first
    QElapsedTimer sinceSent_;
    qint64 pushIntervalMs_ = 200;
    QTimer heartbeat_;
    // Shared with the jobs, which may outlive this object by a block.
    std::shared_ptr<std::atomic<int>> runningJobs_ = std::make_shared<std::atomic<int>>(0);
    // Last, so that it goes first: no check of its ends into the rest half-gone.
    std::unique_ptr<WebLogin> login_;
};

} // namespace registrator::web
