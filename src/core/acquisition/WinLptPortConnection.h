#pragma once

#include "acquisition/LptAddressing.h"
#include "acquisition/PortAccess.h"
#include "acquisition/Win32PortSystem.h"

#include <array>
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
class WinLptPortConnection final : public PortAccess {
public:
    // `programFolder` (with its trailing separator) locates the driver file; empty asks the system.
    WinLptPortConnection(Win32PortSystem& system, std::string programFolder);
    WinLptPortConnection(std::unique_ptr<Win32PortSystem> system, std::string programFolder);
    ~WinLptPortConnection() override;
    WinLptPortConnection(const WinLptPortConnection&) = delete;
    WinLptPortConnection& operator=(const WinLptPortConnection&) = delete;

    bool IsReady() const override;
    std::uint8_t ReadRegister(std::uint8_t port, std::uint8_t reg) override;
    void WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) override;
    std::uint32_t LastError() const override { return lastError_; }

    // `pairs` holds `count` address/value pairs, processed in order. A transfer of no pairs does
    // nothing and reports whether the connection is ready.
    bool ReadPairs(std::uint8_t* pairs, int count);
    bool WritePairs(std::uint8_t* pairs, int count);
    // Whether a port answers at that ID (see the free ProbePort).
    bool ProbePort(std::uint8_t portId) { return acquisition::ProbePort(*this, portId); }
    void PortOut(std::uint16_t address, std::uint8_t value);
    std::uint8_t PortIn(std::uint16_t address);

    WinHandle DeviceHandle() const { return deviceHandle_; }
    bool IsNT() const { return isNT_; }
    bool ServiceStarted() const { return serviceStarted_; }
    WinModule ServiceLibrary() const { return serviceLibrary_; }
    const std::string& DriverPath() const { return driverPath_; }
    const std::array<bool, 3>& PortPresent() const { return portPresent_; }

private:
    void Open(std::string programFolder);
    void InstallAndStartService(const std::string& programFolder);
    void RemoveStartedService();
    bool Transfer(std::uint32_t ioctl, std::uint8_t* pairs, int count, bool read);

    std::unique_ptr<Win32PortSystem> ownedSystem_;
    Win32PortSystem& system_;
    WinHandle deviceHandle_ = kInvalidHandleValue;
    bool isNT_ = false;
    bool serviceStarted_ = false;
    WinModule serviceLibrary_ = 0;
    std::string driverPath_;
    const char** serviceArgs_ = nullptr;
    ServiceEntryPoints entries_;
    std::array<bool, 3> portPresent_{};
    std::uint32_t lastError_ = 0;
};

} // namespace registrator::acquisition
