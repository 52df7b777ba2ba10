#include "acquisition/LinuxLptPortConnection.h"

#include "FakeLptBus.h"
#include "acquisition/LptAddressing.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace registrator::acquisition {
namespace {

using fakes::FakeLptBus;
using fakes::PortKind;

constexpr int kFd = 7;

// Linux as the connection sees it: a ppdev device on port 0x378 (if there is one), ioperm, and
// the port instructions, all scripted per test.
class FakeLinux final : public LinuxPortSystem {
public:
    std::string DevicePath = "/dev/parport0";
    int OpenErrno = 0; // 0: the device opens
    int ClaimErrno = 0;
    bool IoctlFails = false;
    bool IoPermitted = false;
    FakeLptBus Bus;
    std::vector<std::string> Log;

    int Open(const std::string& path) override {
        Log.push_back("open " + path);
        if (path != DevicePath || OpenErrno != 0) {
            errno_ = path != DevicePath ? ENOENT : OpenErrno;
            return -1;
        }
        return kFd;
    }
    void Close(int fd) override { Log.push_back("close " + std::to_string(fd)); }
    bool Ioctl(int fd, PpdevRequest request, std::uint8_t& value) override {
        EXPECT_EQ(kFd, fd);
        static const char* const names[] = {"claim",   "release",  "wdata",   "rdata",
                                            "rstatus", "wcontrol", "rcontrol"};
        Log.push_back(names[static_cast<int>(request)]);
        if (request == PpdevRequest::Claim && ClaimErrno != 0) {
            errno_ = ClaimErrno;
            return false;
        }
        if (IoctlFails) {
            errno_ = EIO;
            return false;
        }
        switch (request) {
        case PpdevRequest::WriteData:
            Bus.Out(0x378, value);
            break;
        case PpdevRequest::WriteControl:
            Bus.Out(0x37A, value);
            break;
        case PpdevRequest::ReadData:
            value = Bus.In(0x378);
            break;
        case PpdevRequest::ReadStatus:
            value = Bus.In(0x379);
            break;
        case PpdevRequest::ReadControl:
            value = Bus.In(0x37A);
            break;
        default:
            break;
        }
        return true;
    }
    bool GrantPortAccess(std::uint16_t base, std::uint16_t count) override {
        Log.push_back("ioperm " + std::to_string(base) + " " + std::to_string(count));
        if (!IoPermitted)
            errno_ = EPERM;
        return IoPermitted;
    }
    void PortOut(std::uint16_t address, std::uint8_t value) override { Bus.Out(address, value); }
    std::uint8_t PortIn(std::uint16_t address) override { return Bus.In(address); }
    int Errno() const override { return errno_; }

private:
    int errno_ = 0;
};

TEST(LinuxLptPortConnection, PpdevPathReachesPort20DataStatusAndControl) {
    FakeLinux system;
    system.Bus = FakeLptBus(PortKind::Absent, PortKind::Echoing, PortKind::Absent);
    LinuxLptPortConnection connection(system, "");
    ASSERT_TRUE(connection.IsReady());
    EXPECT_TRUE(connection.UsesDevice());
    EXPECT_EQ("/dev/parport0", connection.Device());
    EXPECT_EQ(0u, connection.LastError());
    EXPECT_EQ((std::vector<std::string>{"open /dev/parport0", "claim"}),
              std::vector<std::string>(system.Log.begin(), system.Log.begin() + 2));
    // Ports 0x10 and 0x30 are out of the device's reach and probe as absent.
    EXPECT_EQ((std::array<bool, 3>{false, true, false}), connection.PortPresent());

    system.Log.clear();
    system.Bus.Preset(0x379, 0x78);
    connection.WriteRegister(0x20, 0, 0x80);
    connection.WriteRegister(0x20, 2, 0x05); // the register value as the protocol formed it
    EXPECT_EQ(0x78, connection.ReadRegister(0x20, 1));
    EXPECT_EQ(0x80, connection.ReadRegister(0x20, 0));
    EXPECT_EQ(0x05, connection.ReadRegister(0x20, 2));
    EXPECT_EQ((std::vector<std::string>{"wdata", "wcontrol", "rstatus", "rdata", "rcontrol"}), system.Log);
    EXPECT_EQ(0x05, system.Bus.Latched(0x37A));
}

TEST(LinuxLptPortConnection, UnreachableRegistersReadZeroAndFailTheTransfer) {
    FakeLinux system;
    LinuxLptPortConnection connection(system, "");
    system.Log.clear();
    system.Bus.Preset(0x37B, 0x66);
    for (const std::uint8_t code : {0x23, 0x27, 0x10, 0x32, 0x02}) {
        std::uint8_t pair[] = {code, 0x99};
        EXPECT_FALSE(connection.ReadPairs(pair, 1)) << int(code);
        EXPECT_EQ(0, pair[1]) << int(code);
        EXPECT_FALSE(connection.WritePairs(pair, 1)) << int(code);
    }
    std::uint8_t status[] = {0x21, 0x12};
    EXPECT_FALSE(connection.WritePairs(status, 1)) << "the status register cannot be written";
    EXPECT_TRUE(system.Log.empty());

    // A reachable and an unreachable pair in one transfer: the first is done, the whole fails.
    std::uint8_t pairs[] = {0x20, 0x31, 0x25, 0x00};
    EXPECT_FALSE(connection.WritePairs(pairs, 2));
    EXPECT_EQ(0x31, system.Bus.Latched(0x378));
    // Bit 3 of the address code plays no part.
    std::uint8_t data[] = {0x28, 0x00};
    EXPECT_TRUE(connection.ReadPairs(data, 1));
    EXPECT_EQ(0x31, data[1]);
}

TEST(LinuxLptPortConnection, AFailingIoctlFailsTheTransferAndReadsZero) {
    FakeLinux system;
    LinuxLptPortConnection connection(system, "/dev/parport1");
    EXPECT_FALSE(connection.IsReady()) << "no /dev/parport1 here and no port I/O";
    EXPECT_EQ(static_cast<std::uint32_t>(ENOENT), connection.LastError());

    FakeLinux working;
    LinuxLptPortConnection open(working, "");
    working.IoctlFails = true;
    std::uint8_t pair[] = {0x21, 0};
    EXPECT_FALSE(open.ReadPairs(pair, 1));
    EXPECT_EQ(0, open.ReadRegister(0x20, 1));
}

TEST(LinuxLptPortConnection, ANamedDeviceIsOpenedAndReleasedOnDestruction) {
    FakeLinux system;
    system.DevicePath = "/dev/parport3";
    {
        LinuxLptPortConnection connection(system, "/dev/parport3");
        EXPECT_TRUE(connection.UsesDevice());
        system.Log.clear();
    }
    EXPECT_EQ((std::vector<std::string>{"release", "close 7"}), system.Log);
}

TEST(LinuxLptPortConnection, WithoutTheDeviceDirectPortIoUsesTheUsualBases) {
    FakeLinux system;
    system.OpenErrno = ENOENT;
    system.IoPermitted = true;
    system.Bus = FakeLptBus(PortKind::Echoing, PortKind::ControlOnly, PortKind::Absent);
    LinuxLptPortConnection connection(system, "");
    EXPECT_TRUE(connection.IsReady());
    EXPECT_TRUE(connection.UsesDirectIo());
    EXPECT_EQ(0u, connection.LastError());
    EXPECT_EQ(
        (std::vector<std::string>{"open /dev/parport0", "ioperm 956 8", "ioperm 888 8", "ioperm 632 8"}),
        system.Log);
    EXPECT_EQ((std::array<bool, 3>{true, true, false}), connection.PortPresent());

    const std::pair<std::uint8_t, std::uint16_t> addresses[] = {
        {0x21, 0x379}, {0x12, 0x3BE}, {0x32, 0x27A}, {0x02, 0x27A}, {0x4F, 0x27F}};
    for (const auto& [code, address] : addresses) {
        system.Bus.Log.clear();
        std::uint8_t pair[] = {code, 0x3C};
        EXPECT_TRUE(connection.WritePairs(pair, 1));
        EXPECT_TRUE(connection.ReadPairs(pair, 1));
        ASSERT_EQ(2u, system.Bus.Log.size());
        EXPECT_EQ(address, system.Bus.Log[0].Address) << "code " << int(code);
        EXPECT_EQ(address, system.Bus.Log[1].Address) << "code " << int(code);
    }
}

TEST(LinuxLptPortConnection, UnavailableReportsTheErrnoOfTheFailedOpen) {
    for (const int error : {ENOENT, EACCES, ENXIO}) {
        FakeLinux system;
        system.OpenErrno = error;
        {
            LinuxLptPortConnection connection(system, "");
            EXPECT_FALSE(connection.IsReady());
            EXPECT_EQ(static_cast<std::uint32_t>(error), connection.LastError()) << "not ioperm's EPERM";
            EXPECT_TRUE(system.Bus.Log.empty()) << "nothing probed";
            std::uint8_t pair[] = {0x21, 0x44};
            EXPECT_FALSE(connection.ReadPairs(pair, 1));
            EXPECT_FALSE(connection.WritePairs(pair, 1));
            EXPECT_EQ(0x44, pair[1]);
            EXPECT_EQ(0, connection.ReadRegister(0x20, 1));
            system.Log.clear();
        }
        EXPECT_TRUE(system.Log.empty());
    }
}

TEST(LinuxLptPortConnection, ADeviceThatCannotBeClaimedIsClosedAndCountsAsMissing) {
    FakeLinux system;
    system.ClaimErrno = EBUSY;
    LinuxLptPortConnection connection(system, "");
    EXPECT_FALSE(connection.IsReady());
    EXPECT_EQ(static_cast<std::uint32_t>(EBUSY), connection.LastError());
    EXPECT_EQ((std::vector<std::string>{"open /dev/parport0", "claim", "close 7", "ioperm 956 8"}),
              system.Log);
}

#ifdef __linux__
TEST(LinuxPortSystem, RealCallsReportTheirErrno) {
    const auto system = MakeLinuxPortSystem();
    EXPECT_EQ(-1, system->Open("/nonexistent-registrator-dir/parport0"));
    EXPECT_EQ(ENOENT, system->Errno());

    const int fd = system->Open("/dev/null");
    ASSERT_GE(fd, 0);
    std::uint8_t value = 0;
    EXPECT_FALSE(system->Ioctl(fd, PpdevRequest::ReadStatus, value)) << "/dev/null is no parallel port";
    EXPECT_NE(0, system->Errno());
    system->Close(fd);
}
#endif

} // namespace
} // namespace registrator::acquisition
