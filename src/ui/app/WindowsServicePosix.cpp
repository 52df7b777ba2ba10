#ifndef _WIN32

#include "service/recorder/Station.h"
#include "ui/app/WindowsService.h"

#include <cstdio>

namespace registrator::ui {

namespace {
void SayWindowsOnly() {
    std::fputs("Registrator: --service is for Windows; here the systemd unit registrator.service runs "
               "Registrator --headless\n",
               stderr);
}
} // namespace

int RunServiceCommand(const QString&, const QStringList&, const QString&) {
    SayWindowsOnly();
    return service::kExitBadCommandLine;
}

struct ServiceSession::State {};

ServiceSession::ServiceSession() = default;
ServiceSession::~ServiceSession() = default;

bool ServiceSession::Connect() {
    SayWindowsOnly();
    return false;
}

void ServiceSession::ReportRunning() {}
void ServiceSession::ReportStopped(int) {}
void ServiceSession::Advance() {}

} // namespace registrator::ui

#endif
