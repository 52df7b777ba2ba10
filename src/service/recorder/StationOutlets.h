#pragma once

#include "acquisition/PortAccess.h"
#include "archive/Archive.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "integration/AllowedAddresses.h"
#include "integration/ModbusImage.h"
#include "integration/PrometheusText.h"
#include "integration/RetainedMotors.h"
#include "integration/StationStatus.h"
#include "monitor/ShownPanelStates.h"
#include "service/mqtt/MqttPublisher.h"
#include "service/notify/SystemdNotify.h"
#include "service/recorder/BoxLog.h"
#include "service/recorder/Recorder.h"
#include "service/recorder/StationJournal.h"
#include "service/web/LoginOptions.h"

#include <QObject>
#include <QString>
#include <memory>
#include <string>

namespace registrator::web {
class WebView;
}
namespace registrator::tls {
class WebTls;
}

namespace registrator::service {

class ModbusServer;

// What the station is asked to serve, as the command line gives it.
struct OutletRequests {
    QString WebAddress; // empty: no web view
    quint16 WebPort = 0;
    web::LoginOptions WebLogin; // no users file: open to all
    QString WebCertificate;     // empty: plain HTTP; "self": the station's own, made on first use
    QString WebKey;
    QString ModbusAddress; // empty: no Modbus server
    quint16 ModbusPort = 0;
    int ModbusUnit = 1;
    integration::WordOrder ModbusOrder = integration::WordOrder::HighFirst;
    integration::AllowedAddresses ModbusAllowed; // no networks: every client
    MqttOptions Mqtt;                            // an empty address: no publisher
};

// What serves other systems from a running station: the web view, the Modbus server, the MQTT
// publisher and systemd's notify socket. It owns them, gathers the one status snapshot they all
// show, and feeds them after every scan cycle and every record. One thread: the recorder's.
class StationOutlets : public QObject {
    Q_OBJECT
public:
    struct Services {
        const common::Clock& Clock;
        const channels::ChannelData& Data;
        const archive::Archive& Archive;
        const acquisition::PortAccess& Port;
        const service::Recorder& Recorder;
        const BoxLog& Boxes;
        StationJournal& Journal; // read, and written by the web view's log-ins
        std::string ArchiveFolder;
        std::string SettingsPath; // for the health margin the web view counts with
    };

    StationOutlets(Services services, OutletRequests requests);
    ~StationOutlets() override;

    // The web view and the Modbus server asked for; one that cannot listen is told through
    // serviceProblem and on standard error, and the recorder goes on without it.
    void StartServers();
    // Start-up is over: the publisher starts, if asked for (its status tells the settings in force,
    // and it reads only what is recorded), and systemd hears that the station is ready.
    void StartUpDone();
    // Before the port goes: nothing may answer from a half-ended program.
    void CloseServers();
    // After the last record: the publisher sends what was written and ends; what it did not hand over
    // stays for the next start, said in the journal's words ("" when nothing was left).
    std::string StopPublishing();

    // After every scan cycle: the panels' states, the cycle's time, the Modbus registers of that cycle
    // and the web pages.
    void FollowScanCycle();
    // After every record: when it came, and for the publisher the files, the motors' retained messages
    // that changed and the broker line.
    void FollowHistoryStep();
    // Lines went into the journal: the publisher looks at the files now.
    void FollowJournal();

    // The one snapshot every outlet shows.
    integration::StationStatus Status() const;

    // Null unless asked for and listening (running, for the publisher).
    web::WebView* Web() { return web_.get(); }
    ModbusServer* Modbus() { return modbus_.get(); }
    MqttPublisher* Mqtt() { return mqtt_.get(); }
    // The broker line of the status strip ("" without MQTT).
    QString BrokerLine() const { return brokerLine_; }

signals:
    // An outlet did not start; the text is the operator's.
    void serviceProblem(const QString& text);
    // The broker's state changed, in the operator's words.
    void brokerChanged(const QString& line);

private:
    void StartWebView();
    // The certificate the web view is to serve HTTPS with, or why there is none to serve with.
    std::unique_ptr<tls::WebTls> WebCertificate(QString& why) const;
    void StartModbus();
    void StartMqtt();
    bool Simulated() const { return !services_.Port.SimulationNote().empty(); }

    Services services_;
    OutletRequests requests_;
    std::unique_ptr<web::WebView> web_;
    std::unique_ptr<ModbusServer> modbus_;
    integration::ModbusImage modbusImage_;
    std::unique_ptr<MqttPublisher> mqtt_;
    integration::RetainedMotors retainedMotors_;
    QString brokerLine_;
    SystemdNotify notify_ = SystemdNotify::FromEnvironment();
    monitor::ShownPanelStates shownStates_;
    integration::ScanHistogram scanHistogram_;
    std::uint32_t scanCycles_ = 0;
    std::uint64_t recordsSeen_ = 0;
    std::uint32_t lastRecordUnix_ = 0;
};

} // namespace registrator::service
