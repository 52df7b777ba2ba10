#ifndef _WIN32

#include "ui/app/SignalWatcher.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace registrator::ui {

namespace {
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the GUI thread does the rest.
    [[maybe_unused]] auto written = ::write(signalPipe[1], &byte, 1);
}
} // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
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
}

SignalWatcher::~SignalWatcher() {
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::signal(sig, SIG_DFL);
}

void SignalWatcher::Drain() {
    char buffer[16];
    [[maybe_unused]] auto got = ::read(signalPipe[0], buffer, sizeof buffer);
    emit endRequested();
}

} // namespace registrator::ui

#endif
