#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>

namespace registrator::web {

// Guessing passwords slowed to a crawl: five failed log-ins from one address within a minute block that
// address for a minute, whatever it sends meanwhile. The clock is given, so that a test can move it.
class LoginLockout {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr int kFailures = 5;
    static constexpr std::chrono::seconds kWindow{60};
    static constexpr std::chrono::seconds kBlock{60};

    explicit LoginLockout(Clock now) : now_(std::move(now)) {}

    // Whole seconds, rounded up, until the address may try again; 0 when it is not blocked.
    int SecondsBlocked(const std::string& address);
    // A failed log-in from the address; true when the address is blocked now.
    bool Failed(const std::string& address);

private:
    using Time = std::chrono::steady_clock::time_point;
    struct Record {
        std::deque<Time> Failures; // within the window, oldest first
        Time BlockedUntil{};
    };
    void ForgetQuiet(Time now);

    Clock now_;
    std::unordered_map<std::string, Record> addresses_;
};

} // namespace registrator::web
