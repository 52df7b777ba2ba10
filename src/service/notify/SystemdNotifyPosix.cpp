#include "service/notify/SystemdNotify.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace registrator::service {

SystemdNotify SystemdNotify::FromEnvironment() {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    if (!socket || !*socket)
        return {};
    std::chrono::microseconds watchdog{0};
    const char* usec = std::getenv("WATCHDOG_USEC");
    const char* pid = std::getenv("WATCHDOG_PID");
    // A watchdog meant for another process (the start script that exec'd us keeps the pid) is not ours.
    if (usec && (!pid || std::strtol(pid, nullptr, 10) == static_cast<long>(getpid())))
        watchdog = std::chrono::microseconds(std::strtoll(usec, nullptr, 10));
    return SystemdNotify(socket, watchdog);
}

SystemdNotify::SystemdNotify(std::string socketPath, std::chrono::microseconds watchdog)
    : socket_(std::move(socketPath)), watchdog_(watchdog) {}

void SystemdNotify::Ready(const std::string& status) {
    Send("READY=1\nSTATUS=" + status);
    lastPing_ = Clock::now();
}

void SystemdNotify::Stopping() {
    Send("STOPPING=1");
}

void SystemdNotify::CycleDone(Clock::time_point now) {
    if (watchdog_.count() <= 0 || now - lastPing_ < watchdog_ / 2)
        return;
    Send("WATCHDOG=1");
    lastPing_ = now;
}

void SystemdNotify::Send(const std::string& message) const {
    if (socket_.empty())
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_.size() >= sizeof address.sun_path)
        return;
    std::memcpy(address.sun_path, socket_.data(), socket_.size());
    // "@name" is a socket in the abstract namespace.
    if (address.sun_path[0] == '@')
        address.sun_path[0] = '\0';
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socket_.size());
    (void)::sendto(fd, message.data(), message.size(), MSG_NOSIGNAL,
                   reinterpret_cast<const sockaddr*>(&address), length);
    ::close(fd);
}

} // namespace registrator::service
