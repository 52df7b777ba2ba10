// The program as a Type=notify service: a datagram socket of the test's own stands in for systemd.
#ifndef _WIN32

#include "ServiceTestSupport.h"
#include "support/TempFolder.h"

#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace registrator::service {
namespace {

using Clock = std::chrono::steady_clock;
using support::RecordingDialogs;
using support::TempFolder;

// A real port whose reads can be made to hang, as a converter bus that stops answering would.
class StallingPort final : public acquisition::PortAccess {
public:
    bool IsReady() const override { return true; }
    std::uint8_t ReadRegister(std::uint8_t, std::uint8_t) override {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [&] { return !stalled_; });
        return 0;
    }
    void WriteRegister(std::uint8_t, std::uint8_t, std::uint8_t) override {}
    std::uint32_t LastError() const override { return 0; }

    void Stall(bool stalled) {
        {
            const std::lock_guard lock(mutex_);
            stalled_ = stalled;
        }
        released_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool stalled_ = false;
};

// What systemd would hear, with when.
class FakeSystemd {
public:
    explicit FakeSystemd(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        timeval wait{0, 50 * 1000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        reader_ = std::thread([this] {
            char buffer[512];
            while (!stop_) {
                const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
                if (got > 0) {
                    const std::lock_guard lock(mutex_);
                    heard_.push_back({std::string(buffer, static_cast<std::size_t>(got)), Clock::now()});
                }
            }
        });
    }
    ~FakeSystemd() {
        stop_ = true;
        reader_.join();
        ::close(fd_);
    }
    // Messages starting with `what` heard between the two times.
    int Count(const std::string& what, Clock::time_point from, Clock::time_point to) {
        const std::lock_guard lock(mutex_);
        int count = 0;
        for (const auto& [message, at] : heard_)
            count += message.rfind(what, 0) == 0 && at >= from && at <= to;
        return count;
    }

private:
    int fd_ = -1;
    std::atomic<bool> stop_ = false;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<std::pair<std::string, Clock::time_point>> heard_;
};

TEST(SystemdNotify, ReadyAfterStartUpPingsWhileScanningAndFallsSilentWhenTheScanStalls) {
    TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "Data");
    const std::string socket = folder.Slash() + "notify";
    FakeSystemd systemd(socket);
    setenv("NOTIFY_SOCKET", socket.c_str(), 1);
    setenv("WATCHDOG_USEC", "100000", 1);
    unsetenv("WATCHDOG_PID");
    common::SettableClock clock{common::EncodeDate(2026, 12, 9) + common::EncodeTime(10, 0, 0, 0)};
    RecordingDialogs dialogs;
    StallingPort* port = nullptr;
    const Clock::time_point started = Clock::now();
    {
        Station station(StationEnvironment{
            clock, dialogs, common::RegionalSettings::Russian(), (folder.Path() / "REGISTRATOR.EXE").string(),
            folder.Slash() + "Data/", [&](const channels::UstavkiTable&, const common::Clock&) {
                auto made = std::make_unique<StallingPort>();
                port = made.get();
                return made;
            }});
        ASSERT_TRUE(support::StartStation(station));
        QTest::qWait(600);
        const Clock::time_point stalled = Clock::now();
        port->Stall(true);
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            port->Stall(false);
        });
        QTest::qWait(100); // the next tick hangs in the port until the release
        const Clock::time_point released = Clock::now();
        release.join();
        QTest::qWait(400);
        const Clock::time_point end = Clock::now();

        EXPECT_EQ(systemd.Count("READY=1", started, stalled), 1);
        EXPECT_GE(systemd.Count("WATCHDOG=1", started, stalled), 5) << "a ping every 50 ms or so";
        // Whatever the tick that stalled had sent before it hung, nothing came for the 800 ms it hung.
        EXPECT_EQ(systemd.Count("WATCHDOG=1", stalled + std::chrono::milliseconds(100),
                                released - std::chrono::milliseconds(50)),
                  0);
        EXPECT_GE(systemd.Count("WATCHDOG=1", released, end), 3) << "pings again once the scan runs";
        support::EndStation(station);
    }
    EXPECT_EQ(systemd.Count("STOPPING=1", started, Clock::now()), 1);
    unsetenv("NOTIFY_SOCKET");
    unsetenv("WATCHDOG_USEC");
}

} // namespace
} // namespace registrator::service

#endif
