#pragma once

#include "acquisition/PortAccess.h"
#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "channels/ChannelData.h"
#include "channels/SettingsFile.h"
#include "common/Clock.h"
#include "common/RegionalSettings.h"
#include "integration/ModbusImage.h"
#include "integration/PrometheusText.h"
#include "service/notify/SystemdNotify.h"
#include "ui/app/ErrorBoxes.h"
#include "ui/app/GuardedHandler.h"
#include "ui/app/InstanceLock.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

namespace registrator::ui {

class MainWindow;
class MotorGraphWindow;
class ScanTimingWindow;
class CalibrationWindow;
class CoefficientWindow;
class AboutWindow;
class SectionWindow;
class ArchiveViewerWindow;
class ArchiveFolderWindow;
} // namespace registrator::ui

namespace registrator::web {
class WebView;
}

namespace registrator::service {
class ModbusServer;
}

namespace registrator::ui {

// Operator messages go to the plain message box of the program.
class PresenterMessages final : public common::OperatorMessages {
public:
    explicit PresenterMessages(DialogPresenter& dialogs) : dialogs_(dialogs) {}
    void Show(const std::string& text) override {
        dialogs_.ShowOperatorMessage(QString::fromStdString(text));
    }

private:
    DialogPresenter& dialogs_;
};

// What the program is started with; tests swap the clock, the boxes, the port and the folders.
struct ProgramEnvironment {
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

// The program's objects and its two bracketing sequences: start-up when the main window is made,
// shutdown when the event loop has ended.
class Program : public QObject {
    Q_OBJECT
public:
    explicit Program(ProgramEnvironment environment);
    ~Program() override;

    // Start-up, then the other windows; the main window is shown. An unavailable port has shown
    // its box and queued the end of the event loop by then. False, after saying so, when another
    // running program has the settings file or the archive folder: nothing was started or touched.
    bool Start();
    // Asks Start for the read-only web view on this address (port 0: any free one).
    void ServeWeb(const QString& address, quint16 port) {
        webAddress_ = address;
        webPort_ = port;
    }
    // Asks Start for the read-only Modbus TCP server on this IPv4 address (port 0: any free one).
    void ServeModbus(const QString& address, quint16 port, int unit, integration::WordOrder order) {
        modbusAddress_ = address;
        modbusPort_ = port;
        modbusUnit_ = unit;
        modbusOrder_ = order;
    }
    // The port as the operator names it ("/dev/parport0"), for what an unavailable one says.
    void NamePort(std::string name) { portName_ = std::move(name); }
    // An end asked for from outside (a signal): ends whatever loop runs now, a start-up box included,
    // and the main loop as soon as it starts.
    void RequestEnd();
    // Runs once: the timers stop, the settings are saved behind the progress window, the port is released.
    void Shutdown();

    QString Title() const { return title_; }
    channels::ChannelData& Data() { return data_; }
    archive::Archive& Archive() { return archive_; }
    MainWindow& Main() { return *mainWindow_; }
    ScanTimingWindow& Timing() { return *timingWindow_; }
    CalibrationWindow& Calibration() { return *calibrationWindow_; }
    CoefficientWindow& Coefficients() { return *coefficientWindow_; }
    AboutWindow& About() { return *aboutWindow_; }
    MotorGraphWindow& MotorGraph() { return *motorGraphWindow_; }
    SectionWindow& Section() { return *sectionWindow_; }
    ArchiveViewerWindow& ArchiveViewer() { return *archiveViewerWindow_; }
    ArchiveFolderWindow& ArchiveFolder() { return *archiveFolderWindow_; }
    acquisition::PortAccess* Port() { return port_.get(); }
    // Null unless asked for and listening.
    web::WebView* Web() { return web_.get(); }
    service::ModbusServer* Modbus() { return modbus_.get(); }
    std::string SettingsPath() const;
    // What the process should end with once the event loop is over.
    int Status() const { return portRefused_ ? kExitPortNotReady : kExitOrderly; }

private:
    void StartUp();
    void SaveSettings();
    void StartWebView();
    void StartModbus();
    // After every scan cycle: the panels' states, the cycle's time, the Modbus registers of that cycle.
    void FollowScanCycle();
    integration::RecorderStatus CurrentStatus();
    std::string MetricsText();

    ProgramEnvironment env_;
    QString title_;
    InstanceLock lock_;
    bool portRefused_ = false;
    std::string portName_ = "the parallel port";
    bool endRequested_ = false;
    EndAwarePresenter dialogs_;
    PresenterMessages messages_;
    HandlerGuard guard_;
    channels::ChannelData data_;
    archive::Archive archive_;
    std::unique_ptr<acquisition::PortAccess> port_;
    std::unique_ptr<acquisition::ScanProtocol> protocol_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<MotorGraphWindow> motorGraphWindow_;
    std::unique_ptr<ScanTimingWindow> timingWindow_;
    std::unique_ptr<CalibrationWindow> calibrationWindow_;
    std::unique_ptr<CoefficientWindow> coefficientWindow_;
    std::unique_ptr<AboutWindow> aboutWindow_;
    std::unique_ptr<SectionWindow> sectionWindow_;
    std::unique_ptr<ArchiveViewerWindow> archiveViewerWindow_;
    std::unique_ptr<ArchiveFolderWindow> archiveFolderWindow_;
    std::unique_ptr<web::WebView> web_;
    QString webAddress_; // empty: no web view
    quint16 webPort_ = 0;
    std::unique_ptr<service::ModbusServer> modbus_;
    integration::ModbusImage modbusImage_;
    monitor::ShownPanelStates shownStates_;
    service::SystemdNotify notify_ = service::SystemdNotify::FromEnvironment();
    integration::ScanHistogram scanHistogram_;
    QString modbusAddress_; // empty: no Modbus server
    quint16 modbusPort_ = 0;
    int modbusUnit_ = 1;
    integration::WordOrder modbusOrder_ = integration::WordOrder::HighFirst;
    std::uint32_t scanCycles_ = 0;
    std::uint64_t recordsSeen_ = 0;
    std::uint32_t lastRecordUnix_ = 0;
    bool quitWhenLoopRuns_ = false;
    bool shutDown_ = false;
};

} // namespace registrator::ui
