#pragma once

#include <chrono>
#include <string>

namespace registrator::service {

// Tells systemd how the recorder stands, when it runs as a Type=notify service (NOTIFY_SOCKET set):
// ready once start-up is over, and a watchdog ping from the scan cycle itself, so a scan that stalls
// stops the pings and systemd restarts the program. Without NOTIFY_SOCKET, and on Windows, it does
// nothing.
class SystemdNotify {
public:
    using Clock = std::chrono::steady_clock;

    // NOTIFY_SOCKET, WATCHDOG_USEC and WATCHDOG_PID as systemd sets them.
    static SystemdNotify FromEnvironment();
    SystemdNotify() = default;
    SystemdNotify(std::string socketPath, std::chrono::microseconds watchdog);

    bool Active() const { return !socket_.empty(); }

    void Ready(const std::string& status);
    void Stopping();
    // After each scan cycle: a ping when half the watchdog interval has gone by since the last.
    void CycleDone(Clock::time_point now);

private:
    void Send(const std::string& message) const;

    std::string socket_;
    std::chrono::microseconds watchdog_{0};
    Clock::time_point lastPing_{};
};

} // namespace registrator::service
