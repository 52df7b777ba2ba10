#pragma once

#include "support/TempFolder.h"
#include "ui/UiTestSupport.h"
#include "ui/app/Program.h"

#include <QByteArray>
#include <chrono>
#include <memory>
#include <string>

namespace registrator::web::testing {

// The whole program over the simulated plant with its web view on a free port of 127.0.0.1, and its
// archive in a temporary folder. Boxes are recorded, not shown.
class RunningProgram {
public:
    explicit RunningProgram(quint16 webPort = 0);
    ~RunningProgram();
    ui::Program& Program() { return *program_; }
    quint16 Port() const { return port_; }
    std::string TodayReadingsPath() const;
    std::uint64_t RecordsToday() const; // whole records in today's readings file
    const QStringList& Boxes() const { return dialogs_.Boxes; }

private:
    support::TempFolder folder_;
    common::SystemClock clock_;
    ui::testing::RecordingDialogs dialogs_;
    std::unique_ptr<ui::Program> program_;
    quint16 port_ = 0;
};

// One HTTP exchange over a plain socket, off the GUI thread: sends `request` as it is and reads until
// the server closes or `limit` passes. The status is 0 when nothing came back.
struct Exchange {
    int Status = 0;
    std::string Head;
    std::string Body;
    std::chrono::microseconds Took{};
};
Exchange Send(quint16 port, const std::string& request,
              std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
std::string Get(const std::string& path);

// Runs `work` on its own thread while the event loop keeps the program going; waits at most `limit`.
void RunBeside(const std::function<void()>& work, std::chrono::milliseconds limit);

} // namespace registrator::web::testing
