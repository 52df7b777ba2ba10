#pragma once

#include "acquisition/LptPortConnection.h"
#include "acquisition/Win32PortSystem.h"

#include <cstdint>
#include <memory>
#include <string>

namespace registrator::acquisition {

constexpr const char* kLptDeviceName = "\\\\.\\LptAccessAgent";
constexpr const char* kLptServiceName = "lptwdmio";
constexpr const char* kLptServiceDisplayName = "LPT port direct access service";
constexpr const char* kLptDriverFileName = "LPTWDMIO.SYS";
constexpr const char* kServiceLibraryName = "ADVAPI32.DLL";

constexpr std::uint32_t CtlCode(std::uint32_t deviceType, std::uint32_t function, std::uint32_t method,
                                std::uint32_t access) {
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}
constexpr std::uint32_t kIoctlReadPorts = CtlCode(0x22, 0x14, 0, 0);
constexpr std::uint32_t kIoctlWritePorts = CtlCode(0x22, 0x18, 0, 0);
static_assert(kIoctlReadPorts == 0x220050 && kIoctlWritePorts == 0x220060);

constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
constexpr std::uint32_t kServiceKernelDriver = 1;
constexpr std::uint32_t kServiceDemandStart = 3;
constexpr std::uint32_t kServiceErrorNormal = 1;

// The six service entry points, looked up by name in the service library.
struct ServiceEntryPoints {
    ProcAddress OpenSCManagerA = nullptr;
    ProcAddress CloseServiceHandle = nullptr;
    ProcAddress CreateServiceA = nullptr;
    ProcAddress StartServiceA = nullptr;
    ProcAddress OpenServiceA = nullptr;
    ProcAddress DeleteService = nullptr;

    bool Complete() const {
        return OpenSCManagerA && CloseServiceHandle && CreateServiceA && StartServiceA && OpenServiceA &&
               DeleteService;
    }
};

// The Windows TLptPortConnection: register access through the port-access driver (installing and
// starting its service when the device is missing on NT), or through port instructions on
// Windows outside the NT family. The state it reaches at construction never changes.
class WinLptPortConnection final : public LptPortConnection {
public:
    // `programFolder` (with its trailing separator) locates the driver file; empty asks the system.
    WinLptPortConnection(Win32PortSystem& system, std::string programFolder);
    WinLptPortConnection(std::unique_ptr<Win32PortSystem> system, std::string programFolder);
    ~WinLptPortConnection() override;

    bool IsReady() const override;

    WinHandle DeviceHandle() const { return deviceHandle_; }
    bool IsNT() const { return isNT_; }
    bool ServiceStarted() const { return serviceStarted_; }
    WinModule ServiceLibrary() const { return serviceLibrary_; }
    const std::string& DriverPath() const { return driverPath_; }

private:
    void Open(std::string programFolder);
    void InstallAndStartService(const std::string& programFolder);
    void RemoveStartedService();
    bool TransferPairs(std::uint8_t* pairs, int count, Direction direction) override;

    std::unique_ptr<Win32PortSystem> ownedSystem_;
    Win32PortSystem& system_;
    WinHandle deviceHandle_ = kInvalidHandleValue;
    bool isNT_ = false;
    bool serviceStarted_ = false;
    WinModule serviceLibrary_ = 0;
    std::string driverPath_;
    const char** serviceArgs_ = nullptr;
    ServiceEntryPoints entries_;
};

} // namespace registrator::acquisition
