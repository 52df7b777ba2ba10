#pragma once

#include "service/recorder/Recorder.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace registrator::ui {

// The service's name, as `net start` and `sc` know it.
inline constexpr const char* kServiceName = "Registrator";

// One argument as Windows splits a command line (CommandLineToArgvW): quoted when it holds a space, a
// tab or a quote or is empty, with the backslashes before a quote doubled.
QString QuoteWindowsArgument(const QString& argument);
// What the service control manager starts: the executable, quoted always (an unquoted path with spaces
// would run C:\Program first), then `--service run` and the recorder's options of the install command
// line (arguments[0] is the program).
QString ServiceCommandLine(const QString& executable, const QStringList& arguments);

// `--service install|remove|status`, answered before any application object; the exit status. Outside
// Windows it says that the option is for Windows.
int RunServiceCommand(const QString& action, const QStringList& arguments, const QString& executable);

// A process the service control manager started (`--service run`): the working folder is the
// executable's, the manager hears start pending, running, stop pending and stopped with their wait
// hints, and its stop and shutdown requests come as endRequested on the thread that made this.
class ServiceSession : public QObject, public service::SettingsProgress {
    Q_OBJECT
public:
    ServiceSession();
    ~ServiceSession() override;

    // False, after saying so on standard error, when no service control manager started this process.
    bool Connect();
    // The recorder records: stop and shutdown are accepted from now on.
    void ReportRunning();
    // The last word, after the recorder ended with `status`.
    void ReportStopped(int status);

    // Start-up and end read and save every channel's settings: each step tells the manager that the
    // pending start or stop goes on.
    void Begin(const QString&) override { Advance(); }
    void ChannelDone(int) override { Advance(); }
    void End() override { Advance(); }

    // What the platform's side keeps.
    struct State;

signals:
    void endRequested();

private:
    void Advance();
    std::unique_ptr<State> state_;
};

} // namespace registrator::ui
