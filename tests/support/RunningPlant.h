#pragma once

#include "common/Clock.h"
#include "service/recorder/Station.h"
#include "support/StationFakes.h"
#include "support/TempFolder.h"

#include <QElapsedTimer>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <string>

namespace registrator::web::testing {

// The program over the simulated plant with its web view on a free port of 127.0.0.1 (or the port
// given), and its archive in a temporary folder; with `dataElsewhere`, its Data folder is a link to that
// folder, as an archive on another disk would be. Boxes are recorded, not shown. Whether it runs with
// its windows or without is the derived class's: it makes the station from Environment() and starts it.
class RunningPlant {
public:
    RunningPlant(const RunningPlant&) = delete;
    RunningPlant& operator=(const RunningPlant&) = delete;
    virtual ~RunningPlant() = default;

    service::Station& Station() { return *station_; }
    // Null when the web view did not start.
    web::WebView* Web() { return station_->Outlets().Web(); }
    quint16 Port() const { return port_; }
    std::string TodayReadingsPath() const;
    std::filesystem::path DataFolder() const;
    std::uint64_t RecordsToday() const; // whole records in today's readings file
    const QStringList& Boxes() const { return dialogs_.Boxes; }

protected:
    // `settings`, when given, is the settings file's text the program starts with.
    explicit RunningPlant(const std::filesystem::path& dataElsewhere, const std::string& settings = {});
    service::StationEnvironment Environment();
    // Once the station has started: what it serves on.
    void Started(service::Station& station);

private:
    support::TempFolder folder_;
    common::SystemClock clock_;
    support::RecordingDialogs dialogs_;
    service::Station* station_ = nullptr;
    quint16 port_ = 0;
};

// Whether the program goes on appending its one record a second from now on, whatever is done to it.
class RecordingWatch {
public:
    explicit RecordingWatch(const RunningPlant& running);
    bool KeptUp() const;

private:
    const RunningPlant& running_;
    std::uint64_t records_;
    QElapsedTimer since_;
};

} // namespace registrator::web::testing
