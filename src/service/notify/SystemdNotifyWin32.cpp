#include "service/notify/SystemdNotify.h"

#include <utility>

// Windows has no systemd: nothing to tell.
namespace registrator::service {

SystemdNotify SystemdNotify::FromEnvironment() {
    return {};
}
SystemdNotify::SystemdNotify(std::string socketPath, std::chrono::microseconds watchdog)
    : socket_(std::move(socketPath)), watchdog_(watchdog) {}
void SystemdNotify::Ready(const std::string&) {}
void SystemdNotify::Stopping() {}
void SystemdNotify::CycleDone(Clock::time_point) {}
void SystemdNotify::Send(const std::string&) const {}

} // namespace registrator::service
