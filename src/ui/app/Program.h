#pragma once

#include "service/recorder/Station.h"
#include "ui/app/ErrorBoxes.h"

#include <QObject>
#include <QString>
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
class JournalWindow;
class PeriodWindow;
class HealthWindow;
class ReportsWindow;
class AlarmSound;
} // namespace registrator::ui

namespace registrator::ui {

// What the program is started with; tests swap the clock, the boxes, the port and the folders.
using ProgramEnvironment = service::StationEnvironment;

// The recorder's station with its windows, and the two bracketing sequences: start-up when the main
// window is made, shutdown when the event loop has ended.
class Program : public QObject {
    Q_OBJECT
public:
    explicit Program(ProgramEnvironment environment);
    ~Program() override;

    // Start-up, then the other windows; the main window is shown. An unavailable port has shown
    // its box and queued the end of the event loop by then. False, after saying so, when another
    // running program has the settings file or the archive folder: nothing was started or touched.
    bool Start();
    // Ask Start for the servers and name the port (see Station).
    void ServeWeb(const QString& address, quint16 port) { station_.ServeWeb(address, port); }
    void GuardWeb(web::LoginOptions login) { station_.GuardWeb(std::move(login)); }
    void ServeWebEncrypted(const QString& certificate, const QString& key) {
        station_.ServeWebEncrypted(certificate, key);
    }
    void ServeModbus(const QString& address, quint16 port, int unit, integration::WordOrder order,
                     integration::AllowedAddresses allowed = {}) {
        station_.ServeModbus(address, port, unit, order, std::move(allowed));
    }
    void ServeMqtt(service::MqttOptions options) { station_.ServeMqtt(std::move(options)); }
    void NamePort(std::string name) { station_.NamePort(std::move(name)); }
    void WriteReportsWith(schedule::ReportFileWriter writer) { station_.WriteReportsWith(std::move(writer)); }
    std::string SettingsPath() const { return station_.SettingsPath(); }
    // An end asked for from outside (a signal): ends whatever loop runs now, a start-up box included,
    // and the main loop as soon as it starts.
    void RequestEnd();
    // Runs once: the timers stop, the settings are saved behind the progress window, the port is released.
    void Shutdown();

    QString Title() const { return station_.Title(); }
    service::Station& Station() { return station_; }
    service::Recorder& Recorder() { return station_.Recorder(); }
    channels::ChannelData& Data() { return station_.Data(); }
    archive::Archive& Archive() { return station_.Archive(); }
    MainWindow& Main() { return *mainWindow_; }
    ScanTimingWindow& Timing() { return *timingWindow_; }
    CalibrationWindow& Calibration() { return *calibrationWindow_; }
    CoefficientWindow& Coefficients() { return *coefficientWindow_; }
    AboutWindow& About() { return *aboutWindow_; }
    MotorGraphWindow& MotorGraph() { return *motorGraphWindow_; }
    SectionWindow& Section() { return *sectionWindow_; }
    ArchiveViewerWindow& ArchiveViewer() { return *archiveViewerWindow_; }
    ArchiveFolderWindow& ArchiveFolder() { return *archiveFolderWindow_; }
    JournalWindow& Journal() { return *journalWindow_; }
    PeriodWindow& Period() { return *periodWindow_; }
    HealthWindow& Health() { return *healthWindow_; }
    ReportsWindow& Reports() { return *reportsWindow_; }
    AlarmSound& Sound() { return *alarmSound_; }
    acquisition::PortAccess* Port() { return station_.Port(); }
    // Null unless asked for and listening.
    web::WebView* Web() { return station_.Outlets().Web(); }
    service::ModbusServer* Modbus() { return station_.Outlets().Modbus(); }
    // What the process should end with once the event loop is over.
    int Status() const { return station_.Status(); }

private:
    // The alarm line and the tone after any change of the alarms or of the silence.
    void ShowAlarms();

    service::Station station_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<MotorGraphWindow> motorGraphWindow_;
    std::unique_ptr<ScanTimingWindow> timingWindow_;
    std::unique_ptr<CalibrationWindow> calibrationWindow_;
    std::unique_ptr<CoefficientWindow> coefficientWindow_;
    std::unique_ptr<AboutWindow> aboutWindow_;
    std::unique_ptr<SectionWindow> sectionWindow_;
    std::unique_ptr<ArchiveViewerWindow> archiveViewerWindow_;
    std::unique_ptr<ArchiveFolderWindow> archiveFolderWindow_;
    std::unique_ptr<JournalWindow> journalWindow_;
    std::unique_ptr<PeriodWindow> periodWindow_;
    std::unique_ptr<HealthWindow> healthWindow_;
    std::unique_ptr<AlarmSound> alarmSound_;
    std::unique_ptr<ReportsWindow> reportsWindow_;
    bool quitWhenLoopRuns_ = false;
};

} // namespace registrator::ui
