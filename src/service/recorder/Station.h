#pragma once

#include "acquisition/PortAccess.h"
#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/RegionalSettings.h"
#include "events/ActiveAlarms.h"
#include "events/CalibrationAudit.h"
#include "events/EventJournal.h"
#include "events/MotorEvents.h"
#include "integration/ModbusImage.h"
#include "integration/PrometheusText.h"
#include "monitor/ShownPanelStates.h"
#include "service/notify/SystemdNotify.h"
#include "service/recorder/BoxLog.h"
#include "service/recorder/HandlerGuard.h"
#include "service/recorder/InstanceLock.h"
#include "service/recorder/OperatorBoxes.h"
#include "service/recorder/Recorder.h"

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace registrator::web {
class WebView;
}

namespace registrator::service {

class ModbusServer;
class MqttPublisher;

// --mqtt and its companions, as given.
struct MqttOptions {
    std::string Url; // empty: no publisher
    std::string Station;
    std::string CredentialsFile;
    double RecordsPerSecond = 200;
};

// What the program is started with; tests swap the clock, the boxes, the port and the folders.
struct StationEnvironment {
    const common::Clock& Clock;
    DialogPresenter& Dialogs;
    common::RegionalSettings Regional;
    std::string ExecutablePath;
    std::string ArchiveFolder = "Data/";
    std::function<std::unique_ptr<acquisition::PortAccess>(const channels::UstavkiTable&,
                                                           const common::Clock&)>
        MakePort;
};

// How the program ends, for a service manager or a script to tell a failure from an orderly end.
enum ExitStatus {
    kExitOrderly = 0,
    kExitPortNotReady = 1,
    kExitBadCommandLine = 2,
    kExitAlreadyRunning = 3,
};

// One running recorder with everything it owns: the lock on its files, the channel data, the archive,
// the port, the recorder's timers, and what serves other systems (the web view, the Modbus server,
// systemd's notify socket). The same with the windows as without them.
class Station : public QObject {
    Q_OBJECT
public:
    explicit Station(StationEnvironment environment);
    ~Station() override;

    // Asks for the read-only web view on this address (port 0: any free one).
    void ServeWeb(const QString& address, quint16 port) {
        webAddress_ = address;
        webPort_ = port;
    }
    // Asks for the read-only Modbus TCP server on this IPv4 address (port 0: any free one).
    void ServeModbus(const QString& address, quint16 port, int unit, integration::WordOrder order) {
        modbusAddress_ = address;
        modbusPort_ = port;
        modbusUnit_ = unit;
        modbusOrder_ = order;
    }
    // Asks for the MQTT publisher.
    void ServeMqtt(MqttOptions options) { mqttOptions_ = std::move(options); }
    // The port as the operator names it ("/dev/parport0"), for what an unavailable one says.
    void NamePort(std::string name) { portName_ = std::move(name); }

    // Before anything is opened: false, after saying so, when another running program has the
    // settings file or the archive folder; nothing was then started or touched. Else the port and the
    // recorder over it are made.
    bool Acquire();
    // The servers asked for; one that cannot listen is told through serviceProblem and on standard
    // error, and the recorder goes on without it.
    void StartServers();
    // The start-up sequence; a port that is not ready has shown its box and wants the end by then.
    void StartUp(SettingsProgress& progress);
    // An end asked for from outside: boxes from now on go to standard error.
    void MarkEnding() { ending_ = true; }
    bool Ending() const { return ending_; }
    // Runs once, after a successful Acquire: the servers close, the timers stop, the settings are saved, the
    // port and the lock are let go.
    void Shutdown(SettingsProgress& progress);

    QString Title() const { return title_; }
    std::string SettingsPath() const;
    // The start-up found the port not ready; the program ends once its loop runs.
    bool PortRefused() const { return portRefused_; }
    int Status() const { return portRefused_ ? kExitPortNotReady : kExitOrderly; }
    bool Simulated() const { return port_ && !port_->SimulationNote().empty(); }
    bool ShutDown() const { return shutDown_; }

    // After Acquire.
    service::Recorder& Recorder() { return *recorder_; }
    channels::ChannelData& Data() { return data_; }
    archive::Archive& Archive() { return archive_; }
    acquisition::PortAccess* Port() { return port_.get(); }
    HandlerGuard& Guard() { return guard_; }
    common::OperatorMessages& Messages() { return messages_; }
    DialogPresenter& Dialogs() { return dialogs_; }
    const BoxLog& Boxes() const { return boxLog_; }
    const StationEnvironment& Environment() const { return env_; }
    // Null unless asked for and listening.
    web::WebView* Web() { return web_.get(); }
    ModbusServer* Modbus() { return modbus_.get(); }
    MqttPublisher* Mqtt() { return mqtt_.get(); }
    // The broker line of the status strip ("" without MQTT).
    QString BrokerLine() const { return brokerLine_; }

    const events::ActiveAlarms& Alarms() const { return alarms_; }
    // The operator's acknowledgement, into the journal; only the windows call these.
    void Acknowledge(events::EventKind kind, int channel);
    void AcknowledgeAll();
    // An apply of the calibration window stored `after` over `before`: into the journal when it changed
    // anything.
    void JournalCalibration(int channel, const channels::TUstavka& before, const channels::TUstavka& after);
    // Likewise an apply of the scan timing window.
    void JournalScanTiming(const events::ScanTiming& before, const events::ScanTiming& after);
    // Where the day's journal is.
    std::string JournalPath(common::TDateTime day) const { return journal_->PathFor(day); }

signals:
    // A server did not start; the text is the operator's.
    void serviceProblem(const QString& text);
    // The broker's state changed, in the operator's words.
    void brokerChanged(const QString& line);
    // An alarm came, cleared or was acknowledged.
    void alarmsChanged();
    // A line went into the journal.
    void journalled();

private:
    void StartWebView();
    void StartModbus();
    void StartMqtt();
    // After every record: the publisher looks at the files, the motors' retained messages that
    // changed, the broker line.
    void FollowHistoryStep();
    // What the archive's appends and the calendar did at this record, into the journal.
    void JournalArchive();
    // Into the day's journal; a journal that cannot be written costs no record.
    void Journal(const events::Event& event);
    // The lines in order, then one word to those who follow the journal and, when they changed, the alarms.
    void Journal(const std::vector<events::Event>& lines, bool alarmsChanged = false);
    void JournalProgram(events::EventKind kind, std::string note = {});
    // After every scan cycle: the panels' states, the cycle's time, the Modbus registers of that cycle.
    void FollowScanCycle();
    integration::RecorderStatus CurrentStatus();
    std::string MetricsText();

    StationEnvironment env_;
    QString title_;
    InstanceLock lock_;
    bool ending_ = false;
    bool portRefused_ = false;
    bool shutDown_ = false;
    std::string portName_ = "the parallel port";
    BoxLog boxLog_;
    EndAwarePresenter dialogs_;
    PresenterMessages messages_;
    HandlerGuard guard_;
    channels::ChannelData data_;
    archive::Archive archive_;
    std::unique_ptr<acquisition::PortAccess> port_;
    std::unique_ptr<acquisition::ScanProtocol> protocol_;
    std::unique_ptr<service::Recorder> recorder_;
    std::unique_ptr<web::WebView> web_;
    QString webAddress_; // empty: no web view
    quint16 webPort_ = 0;
    std::unique_ptr<ModbusServer> modbus_;
    integration::ModbusImage modbusImage_;
    monitor::ShownPanelStates shownStates_;
    SystemdNotify notify_ = SystemdNotify::FromEnvironment();
    integration::ScanHistogram scanHistogram_;
    events::MotorEventDetector eventDetector_;
    std::unique_ptr<events::EventJournal> journal_;
    std::vector<events::Event> cycleEvents_;
    events::ActiveAlarms alarms_;
    bool archiveFailing_ = false;
    common::TDateTime journalDay_ = 0;
    QString modbusAddress_; // empty: no Modbus server
    quint16 modbusPort_ = 0;
    int modbusUnit_ = 1;
    integration::WordOrder modbusOrder_ = integration::WordOrder::HighFirst;
    MqttOptions mqttOptions_;
    std::unique_ptr<MqttPublisher> mqtt_;
    std::array<std::string, channels::kChannelCount + 1> motorsSent_;
    QString brokerLine_;
    std::uint32_t scanCycles_ = 0;
    std::uint64_t recordsSeen_ = 0;
    std::uint32_t lastRecordUnix_ = 0;
};

} // namespace registrator::service
