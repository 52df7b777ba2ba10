#ifdef _WIN32

#include "ui/app/SignalWatcher.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <windows.h>

namespace registrator::ui {

namespace {
std::atomic<SignalWatcher*> watcher{nullptr};

// Runs on a thread of the system's own; the GUI thread does the ending.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    SignalWatcher* target = watcher.load();
    if (!target)
        return FALSE;
    QMetaObject::invokeMethod(target, &SignalWatcher::Drain, Qt::QueuedConnection);
    // For these the process is ended as soon as this returns: the settings need a moment first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(4000);
    return TRUE;
}
} // namespace

// Ctrl+C, Ctrl+Break and the closing of a console the program was started from; the end of the
// Windows session comes as the application's commit-data request.
SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
    watcher = this;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

SignalWatcher::~SignalWatcher() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    watcher = nullptr;
}

void SignalWatcher::Drain() {
    emit endRequested();
}

} // namespace registrator::ui

#endif
