#include "ui/app/SignalWatcher.h"

#include <QSocketNotifier>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace registrator::ui {

#ifndef _WIN32
namespace {
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the GUI thread does the rest.
    [[maybe_unused]] auto written = ::write(signalPipe[1], &byte, 1);
}
} // namespace
#endif

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
#ifndef _WIN32
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalWatcher::Drain);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
#endif
}

SignalWatcher::~SignalWatcher() {
#ifndef _WIN32
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::signal(sig, SIG_DFL);
#endif
}

void SignalWatcher::Drain() {
#ifndef _WIN32
    char buffer[16];
    [[maybe_unused]] auto got = ::read(signalPipe[0], buffer, sizeof buffer);
#endif
    emit endRequested();
}

} // namespace registrator::ui
