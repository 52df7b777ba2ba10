#pragma once

#include "acquisition/PortAccess.h"
#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/RegionalSettings.h"
#include "service/recorder/BoxLog.h"
#include "service/recorder/HandlerGuard.h"
#include "service/recorder/InstanceLock.h"
#include "service/recorder/OperatorBoxes.h"
#include "service/recorder/Recorder.h"
#include "service/recorder/StationJournal.h"
#include "service/recorder/StationOutlets.h"
#include "service/schedule/ReportScheduler.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

namespace registrator::service {

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

// One running recorder, the same with the windows as without them: it starts and ends the recorder,
// and owns its parts: the lock on its files, the boxes, the channel data, the archive, the port, the
// recorder's timers, the journal side and the outlets that serve other systems.
class Station : public QObject {
    Q_OBJECT
public:
    explicit Station(StationEnvironment environment);
    ~Station() override;

    // Asks for the read-only web view on this address (port 0: any free one).
    void ServeWeb(const QString& address, quint16 port) {
        requests_.WebAddress = address;
        requests_.WebPort = port;
    }
    // Asks for a log-in at the web view's door; without a users file it is open to all.
    void GuardWeb(web::LoginOptions login) { requests_.WebLogin = std::move(login); }
    // The web view over HTTPS only: a PEM certificate and its key, or "self" (and no key) for the station's
    // own, made on first use beside the settings file.
    void ServeWebEncrypted(const QString& certificate, const QString& key) {
        requests_.WebCertificate = certificate;
        requests_.WebKey = key;
    }
    // Asks for the read-only Modbus TCP server on this IPv4 address (port 0: any free one), for the
    // clients `allowed` (no networks: every client).
    void ServeModbus(const QString& address, quint16 port, int unit, integration::WordOrder order,
                     integration::AllowedAddresses allowed = {}) {
        requests_.ModbusAddress = address;
        requests_.ModbusPort = port;
        requests_.ModbusUnit = unit;
        requests_.ModbusOrder = order;
        requests_.ModbusAllowed = std::move(allowed);
    }
    // Asks for the MQTT publisher.
    void ServeMqtt(MqttOptions options) { requests_.Mqtt = std::move(options); }
    // The report's PDF and XLSX forms, beside the CSV the schedule always writes; set before StartUp.
    void WriteReportsWith(schedule::ReportFileWriter writer,
                          std::vector<std::string> extensions = {".pdf", ".xlsx"}) {
        reportWriter_ = std::move(writer);
        reportExtensions_ = std::move(extensions);
    }
    // The port as the operator names it ("/dev/parport0"), for what an unavailable one says.
    void NamePort(std::string name) { portName_ = std::move(name); }

    // Before anything is opened: false, after saying so, when another running program has the
    // settings file or the archive folder; nothing was then started or touched. Else the port, the
    // recorder over it, the journal side and the outlets are made.
    bool Acquire();
    // The servers asked for; one that cannot listen is told through the outlets' serviceProblem and on
    // standard error, and the recorder goes on without it.
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
    StationJournal& Journal() { return *journal_; }
    StationOutlets& Outlets() { return *outlets_; }
    channels::ChannelData& Data() { return data_; }
    archive::Archive& Archive() { return archive_; }
    acquisition::PortAccess* Port() { return port_.get(); }
    // Null until a start-up that found the port ready.
    schedule::ReportScheduler* Reports() { return reports_.get(); }
    HandlerGuard& Guard() { return guard_; }
    common::OperatorMessages& Messages() { return messages_; }
    DialogPresenter& Dialogs() { return dialogs_; }
    const BoxLog& Boxes() const { return boxLog_; }
    const StationEnvironment& Environment() const { return env_; }

private:
    // The scheduled reports, with the shifts and supplies the settings file says.
    void StartReports();

    StationEnvironment env_;
    QString title_;
    InstanceLock lock_;
    bool ending_ = false;
    bool portRefused_ = false;
    bool shutDown_ = false;
    std::string portName_ = "the parallel port";
    OutletRequests requests_;
    BoxLog boxLog_;
    EndAwarePresenter dialogs_;
    PresenterMessages messages_;
    HandlerGuard guard_;
    channels::ChannelData data_;
    archive::Archive archive_;
    std::unique_ptr<acquisition::PortAccess> port_;
    std::unique_ptr<acquisition::ScanProtocol> protocol_;
    std::unique_ptr<service::Recorder> recorder_;
    std::unique_ptr<StationJournal> journal_;
    std::unique_ptr<StationOutlets> outlets_;
    schedule::ReportFileWriter reportWriter_;
    std::vector<std::string> reportExtensions_;
    std::unique_ptr<schedule::ReportScheduler> reports_;
};

} // namespace registrator::service
