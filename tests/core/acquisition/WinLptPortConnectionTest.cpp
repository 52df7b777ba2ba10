#include "acquisition/WinLptPortConnection.h"

#include "FakeLptBus.h"
#include "acquisition/LptAddressing.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace registrator::acquisition {
namespace {

using fakes::FakeLptBus;
using fakes::PortKind;

constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kGenFailure = 31;
constexpr WinHandle kDevice = 0x44;
constexpr WinModule kAdvapi = 0x7700;
constexpr WinHandle kManager = 0x51;
constexpr WinHandle kService = 0x52;

// Entry points are told apart by their address in the fake library.
ProcAddress FakeEntry(int index) {
    return reinterpret_cast<ProcAddress>(static_cast<std::uintptr_t>(0x1000 + index));
}
const char* const kEntryNames[] = {"OpenSCManagerA", "CloseServiceHandle", "CreateServiceA",
                                   "StartServiceA",  "OpenServiceA",       "DeleteService"};

// Windows as the connection sees it, scripted per test and logging every call.
class FakeWin32 final : public Win32PortSystem {
public:
    explicit FakeWin32(std::vector<std::string>& log) : Log(log) {}

    std::uint32_t Platform = kPlatformWin32Nt;
    bool DeviceThere = false;
    bool DeviceAfterStart = false; // the started service brings the device up
    bool LibraryLoads = true;
    std::string MissingEntry;
    bool ManagerOpens = true;
    bool CreateWorks = true;
    bool ServiceExists = false;
    bool DriverFails = false;
    FakeLptBus Bus;
    std::vector<std::vector<std::uint8_t>> Requests; // control code then the input buffer
    ServiceCreation Created;
    std::string CreatedPath;
    std::vector<std::string>& Log;

    std::uint32_t QueryPlatformId() override { return Platform; }
    void SetLastErrorCode(std::uint32_t code) override { error_ = code; }
    std::uint32_t LastErrorCode() override { return error_; }
    WinHandle OpenDevice(const char* name) override {
        Log.push_back(std::string("OpenDevice ") + name);
        if (DeviceThere)
            return kDevice;
        error_ = kFileNotFound;
        return kInvalidHandleValue;
    }
    bool DeviceControl(WinHandle device, std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        EXPECT_EQ(kDevice, device);
        EXPECT_EQ(in, out);
        EXPECT_EQ(inSize, outSize);
        EXPECT_EQ(0u, *bytesReturned);
        auto* pairs = static_cast<std::uint8_t*>(in);
        std::vector<std::uint8_t> request{static_cast<std::uint8_t>(code >> 16),
                                          static_cast<std::uint8_t>(code)};
        request.insert(request.end(), pairs, pairs + inSize);
        Requests.push_back(request);
        if (DriverFails) {
            error_ = kGenFailure;
            return true; // whatever it answers, the error it leaves counts
        }
        for (std::uint32_t i = 0; i + 1 < inSize; i += 2) {
            if (code == kIoctlReadPorts)
                pairs[i + 1] = Bus.In(IoAddressOf(pairs[i]));
            else
                Bus.Out(IoAddressOf(pairs[i]), pairs[i + 1]);
        }
        *bytesReturned = inSize;
        return false;
    }
    bool CloseDevice(WinHandle device) override {
        Log.push_back("CloseDevice " + std::to_string(device));
        return true;
    }
    std::string ExecutableFolder() override { return "C:\\Plant\\"; }
    WinModule LoadModule(const char* name) override {
        Log.push_back(std::string("LoadModule ") + name);
        return LibraryLoads ? kAdvapi : 0;
    }
    ProcAddress FindEntryPoint(WinModule module, const char* name) override {
        EXPECT_EQ(kAdvapi, module);
        for (int i = 0; i < 6; ++i)
            if (name == std::string(kEntryNames[i]) && MissingEntry != name)
                return FakeEntry(i);
        return nullptr;
    }
    bool UnloadModule(WinModule module) override {
        Log.push_back("UnloadModule " + std::to_string(module));
        return true;
    }
    WinHandle ScOpenManager(ProcAddress entry, std::uint32_t access) override {
        Check(entry, 0);
        Log.push_back("OpenSCManager " + Hex(access));
        return ManagerOpens ? kManager : 0;
    }
    WinHandle ScCreateService(ProcAddress entry, WinHandle manager, const ServiceCreation& service) override {
        Check(entry, 2);
        EXPECT_EQ(kManager, manager);
        Created = service;
        CreatedPath = service.ImagePath;
        Log.push_back("CreateService");
        if (!CreateWorks)
            return 0;
        ServiceExists = true;
        return kService;
    }
    WinHandle ScOpenService(ProcAddress entry, WinHandle manager, const char* name,
                            std::uint32_t access) override {
        Check(entry, 4);
        EXPECT_EQ(kManager, manager);
        Log.push_back("OpenService " + std::string(name) + " " + Hex(access));
        return ServiceExists ? kService : 0;
    }
    bool ScStartService(ProcAddress entry, WinHandle service, std::uint32_t argCount,
                        const char** args) override {
        Check(entry, 3);
        EXPECT_EQ(kService, service);
        Log.push_back("StartService " + std::to_string(argCount) + (args ? " args" : " null"));
        if (DeviceAfterStart)
            DeviceThere = true;
        return DeviceAfterStart;
    }
    bool ScDeleteService(ProcAddress entry, WinHandle service) override {
        Check(entry, 5);
        EXPECT_EQ(kService, service);
        Log.push_back("DeleteService");
        return true;
    }
    bool ScCloseHandle(ProcAddress entry, WinHandle handle) override {
        Check(entry, 1);
        Log.push_back(handle == kManager ? "CloseServiceHandle manager" : "CloseServiceHandle service");
        return true;
    }
    void PortOut(std::uint16_t address, std::uint8_t value) override { Bus.Out(address, value); }
    std::uint8_t PortIn(std::uint16_t address) override { return Bus.In(address); }

private:
    static void Check(ProcAddress entry, int index) { EXPECT_EQ(FakeEntry(index), entry); }
    static std::string Hex(std::uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "%X", value);
        return text;
    }
    std::uint32_t error_ = 0;
};

struct Rig {
    std::vector<std::string> log;
    FakeWin32 system{log};
};

const std::string kOpen = "OpenDevice \\\\.\\LptAccessAgent";

TEST(WinLptPortConnection, DriverPathSendsOnePairPerRegisterAccess) {
    Rig rig;
    rig.system.DeviceThere = true;
    WinLptPortConnection connection(rig.system, "");
    ASSERT_TRUE(connection.IsReady());
    rig.system.Requests.clear();
    rig.system.Bus.Preset(0x379, 0x5A);

    EXPECT_EQ(0x5A, connection.ReadRegister(0x20, 1));
    connection.WriteRegister(0x20, 2, 0x05);
    ASSERT_EQ(2u, rig.system.Requests.size());
    EXPECT_EQ((std::vector<std::uint8_t>{0x22, 0x50, 0x21, 0x00}), rig.system.Requests[0]);
    EXPECT_EQ((std::vector<std::uint8_t>{0x22, 0x60, 0x22, 0x05}), rig.system.Requests[1]);
    EXPECT_EQ(0x05, rig.system.Bus.Latched(0x37A));

    // Several pairs go in one request, processed in order.
    std::uint8_t pairs[] = {0x20, 0x11, 0x20, 0x22};
    EXPECT_TRUE(connection.WritePairs(pairs, 2));
    EXPECT_EQ((std::vector<std::uint8_t>{0x22, 0x60, 0x20, 0x11, 0x20, 0x22}), rig.system.Requests.back());
    EXPECT_EQ(0x22, rig.system.Bus.Latched(0x378));
}

TEST(WinLptPortConnection, AnErrorLeftByTheDriverFailsTheTransferButNotTheRegisterCalls) {
    Rig rig;
    rig.system.DeviceThere = true;
    WinLptPortConnection connection(rig.system, "");
    rig.system.DriverFails = true;
    std::uint8_t pair[] = {0x21, 0x99};
    EXPECT_FALSE(connection.ReadPairs(pair, 1));
    EXPECT_EQ(0x99, pair[1]) << "the driver left the buffer alone";
    EXPECT_EQ(0, connection.ReadRegister(0x20, 1));
    connection.WriteRegister(0x20, 0, 0x42);

    rig.system.DriverFails = false;
    EXPECT_TRUE(connection.ReadPairs(pair, 1));
    // No pairs: no request at all.
    const std::size_t requests = rig.system.Requests.size();
    EXPECT_TRUE(connection.ReadPairs(pair, 0));
    EXPECT_EQ(requests, rig.system.Requests.size());
}

TEST(WinLptPortConnection, DeviceOpenAtOnceLeavesTheServiceAlone) {
    Rig rig;
    rig.system.DeviceThere = true;
    {
        WinLptPortConnection connection(rig.system, "");
        EXPECT_TRUE(connection.IsReady());
        EXPECT_FALSE(connection.ServiceStarted());
        EXPECT_TRUE(connection.DriverPath().empty());
        EXPECT_EQ(0u, connection.LastError());
        EXPECT_EQ((std::vector<std::string>{kOpen}), rig.log);
    }
    EXPECT_EQ((std::vector<std::string>{kOpen, "CloseDevice 68"}), rig.log);
}

TEST(WinLptPortConnection, MissingDeviceOnNtInstallsStartsAndLaterDeletesTheService) {
    Rig rig;
    rig.system.DeviceAfterStart = true;
    {
        WinLptPortConnection connection(rig.system, "D:\\Registrator\\");
        EXPECT_TRUE(connection.IsReady());
        EXPECT_TRUE(connection.ServiceStarted());
        EXPECT_EQ("D:\\Registrator\\LPTWDMIO.SYS", connection.DriverPath());
        EXPECT_EQ("D:\\Registrator\\LPTWDMIO.SYS", rig.system.CreatedPath);
        EXPECT_EQ(std::string("lptwdmio"), rig.system.Created.Name);
        EXPECT_EQ(std::string("LPT port direct access service"), rig.system.Created.DisplayName);
        EXPECT_EQ(0xF01FFu, rig.system.Created.Access);
        EXPECT_EQ(1u, rig.system.Created.ServiceType);
        EXPECT_EQ(3u, rig.system.Created.StartType);
        EXPECT_EQ(1u, rig.system.Created.ErrorControl);
        EXPECT_EQ(
            (std::vector<std::string>{kOpen, "LoadModule ADVAPI32.DLL", "OpenSCManager F003F",
                                      "CreateService", "StartService 0 null", "CloseServiceHandle service",
                                      "CloseServiceHandle manager", kOpen}),
            rig.log);
        rig.log.clear();
    }
    EXPECT_EQ((std::vector<std::string>{"CloseDevice 68", "OpenSCManager F003F", "OpenService lptwdmio F01FF",
                                        "DeleteService", "CloseServiceHandle service",
                                        "CloseServiceHandle manager", "UnloadModule 30464"}),
              rig.log);
}

TEST(WinLptPortConnection, AnInstalledServiceIsOpenedAndStartedInstead) {
    Rig rig;
    rig.system.CreateWorks = false;
    rig.system.ServiceExists = true;
    WinLptPortConnection connection(rig.system, "");
    EXPECT_EQ("C:\\Plant\\LPTWDMIO.SYS", connection.DriverPath());
    EXPECT_EQ((std::vector<std::string>{kOpen, "LoadModule ADVAPI32.DLL", "OpenSCManager F003F",
                                        "CreateService", "OpenService lptwdmio F01FF", "StartService 0 null",
                                        "CloseServiceHandle service", "CloseServiceHandle manager", kOpen}),
              rig.log);
    // The start failed and the device is still missing: unavailable, but ours to remove.
    EXPECT_TRUE(connection.ServiceStarted());
    EXPECT_FALSE(connection.IsReady());
    EXPECT_EQ(kFileNotFound, connection.LastError());
}

TEST(WinLptPortConnection, UnavailableWhenNoServiceCanBeHad) {
    struct Case {
        const char* What;
        void (*Setup)(FakeWin32&);
        std::vector<std::string> Log;
    };
    const Case cases[] = {
        {"library", [](FakeWin32& s) { s.LibraryLoads = false; }, {kOpen, "LoadModule ADVAPI32.DLL", kOpen}},
        {"entry point",
         [](FakeWin32& s) { s.MissingEntry = "DeleteService"; },
         {kOpen, "LoadModule ADVAPI32.DLL", kOpen}},
        {"manager",
         [](FakeWin32& s) { s.ManagerOpens = false; },
         {kOpen, "LoadModule ADVAPI32.DLL", "OpenSCManager F003F", kOpen}},
        {"service",
         [](FakeWin32& s) { s.CreateWorks = false; },
         {kOpen, "LoadModule ADVAPI32.DLL", "OpenSCManager F003F", "CreateService",
          "OpenService lptwdmio F01FF", "CloseServiceHandle manager", kOpen}},
    };
    for (const Case& c : cases) {
        Rig rig;
        c.Setup(rig.system);
        {
            WinLptPortConnection connection(rig.system, "");
            EXPECT_FALSE(connection.IsReady()) << c.What;
            EXPECT_FALSE(connection.ServiceStarted()) << c.What;
            EXPECT_EQ(kFileNotFound, connection.LastError()) << c.What;
            EXPECT_EQ(c.Log, rig.log) << c.What;

            // Nothing was probed, and transfers neither reach the driver nor touch the pairs.
            std::uint8_t pair[] = {0x21, 0x77};
            EXPECT_FALSE(connection.ReadPairs(pair, 1));
            EXPECT_FALSE(connection.WritePairs(pair, 1));
            EXPECT_EQ(0x77, pair[1]);
            EXPECT_EQ(0, connection.ReadRegister(0x20, 1));
            EXPECT_TRUE(rig.system.Requests.empty());
            EXPECT_TRUE(rig.system.Bus.Log.empty());
            rig.log.clear();
        }
        EXPECT_TRUE(rig.log.empty()) << c.What << ": destruction touched " << rig.log.front();
    }
}

TEST(WinLptPortConnection, OutsideNtWithoutDriverUsesPortInstructions) {
    Rig rig;
    rig.system.Platform = 1;
    WinLptPortConnection connection(rig.system, "");
    EXPECT_TRUE(connection.IsReady());
    EXPECT_FALSE(connection.IsNT());
    EXPECT_EQ((std::vector<std::string>{kOpen}), rig.log) << "no service outside NT";
    EXPECT_EQ((std::array<bool, 3>{true, true, false}), connection.PortPresent());

    const std::pair<std::uint8_t, std::uint16_t> addresses[] = {{0x21, 0x379}, {0x12, 0x3BE}, {0x32, 0x27A},
                                                                {0x02, 0x27A}, {0x4F, 0x27F}, {0x28, 0x378},
                                                                {0x1F, 0x3C3}};
    for (const auto& [code, address] : addresses) {
        rig.system.Bus.Log.clear();
        std::uint8_t pair[] = {code, 0x3C};
        EXPECT_TRUE(connection.WritePairs(pair, 1));
        EXPECT_TRUE(connection.ReadPairs(pair, 1));
        ASSERT_EQ(2u, rig.system.Bus.Log.size());
        EXPECT_EQ(address, rig.system.Bus.Log[0].Address) << "code " << int(code);
        EXPECT_EQ(address, rig.system.Bus.Log[1].Address) << "code " << int(code);
    }
    EXPECT_TRUE(rig.system.Requests.empty());
}

TEST(ProbePort, ThreeWaysToAnswerAndTheBusWhenNothingDoes) {
    const std::pair<PortKind, bool> kinds[] = {{PortKind::Echoing, true},
                                               {PortKind::ControlOnly, true},
                                               {PortKind::StatusOnly, true},
                                               {PortKind::Absent, false},
                                               {PortKind::AbsentLow, false}};
    for (const auto& [kind, present] : kinds) {
        Rig rig;
        rig.system.DeviceThere = true;
        rig.system.Bus = FakeLptBus(PortKind::Absent, kind, PortKind::Absent);
        rig.system.Bus.Preset(0x378, 0x3C);
        WinLptPortConnection connection(rig.system, "");
        EXPECT_EQ((std::array<bool, 3>{false, present, false}), connection.PortPresent()) << int(kind);
    }
}

TEST(ProbePort, RestoresTheDataRegisterAndSkipsReadBacksAfterAMiss) {
    FakeLptBus bus(PortKind::Absent, PortKind::Echoing, PortKind::ControlOnly);
    Rig rig;
    rig.system.DeviceThere = true;
    rig.system.Bus = bus;
    rig.system.Bus.Preset(0x378, 0x3C);
    WinLptPortConnection connection(rig.system, "");
    EXPECT_EQ(0x3C, rig.system.Bus.Latched(0x378));

    std::string echoing, silent, others;
    for (const auto& access : rig.system.Bus.Log) {
        std::string& trace = access.Address >= 0x378 && access.Address < 0x380   ? echoing
                             : access.Address >= 0x278 && access.Address < 0x280 ? silent
                                                                                 : others;
        char word[16];
        std::snprintf(word, sizeof word, "%s%X=%02X ", access.Write ? "w" : "r", access.Address,
                      access.Value);
        trace += word;
    }
    EXPECT_EQ("r378=3C w378=00 r378=00 w378=55 r378=55 w378=AA r378=AA w378=3C ", echoing);
    EXPECT_EQ("r278=FF w278=00 r278=FF w278=55 w278=AA w278=FF r27A=CC ", silent);
}

} // namespace
} // namespace registrator::acquisition
