#include "acquisition/WinLptPortConnection.h"

#include "acquisition/LptAddressing.h"

namespace registrator::acquisition {

WinLptPortConnection::WinLptPortConnection(std::unique_ptr<Win32PortSystem> system, std::string programFolder)
    : ownedSystem_(std::move(system)), system_(*ownedSystem_) {
    Open(std::move(programFolder));
}

WinLptPortConnection::WinLptPortConnection(Win32PortSystem& system, std::string programFolder)
    : system_(system) {
    Open(std::move(programFolder));
}

void WinLptPortConnection::Open(std::string programFolder) {
    isNT_ = system_.QueryPlatformId() == kPlatformWin32Nt;
    system_.SetLastErrorCode(0);
    deviceHandle_ = system_.OpenDevice(kLptDeviceName);
    if (deviceHandle_ == kInvalidHandleValue && isNT_) {
        InstallAndStartService(programFolder);
        system_.SetLastErrorCode(0);
        deviceHandle_ = system_.OpenDevice(kLptDeviceName);
    }
    // Taken at once: this is the code the start-up error box shows.
    if (deviceHandle_ == kInvalidHandleValue)
        lastError_ = system_.LastErrorCode();
    if (IsReady()) {
        for (std::size_t i = 0; i < kPortIds.size(); ++i)
            portPresent_[i] = ProbePort(kPortIds[i]);
    }
}

void WinLptPortConnection::InstallAndStartService(const std::string& programFolder) {
    serviceLibrary_ = system_.LoadModule(kServiceLibraryName);
    if (serviceLibrary_ == 0)
        return;
    entries_.OpenSCManagerA = system_.FindEntryPoint(serviceLibrary_, "OpenSCManagerA");
    entries_.CloseServiceHandle = system_.FindEntryPoint(serviceLibrary_, "CloseServiceHandle");
    entries_.CreateServiceA = system_.FindEntryPoint(serviceLibrary_, "CreateServiceA");
    entries_.StartServiceA = system_.FindEntryPoint(serviceLibrary_, "StartServiceA");
    entries_.OpenServiceA = system_.FindEntryPoint(serviceLibrary_, "OpenServiceA");
    entries_.DeleteService = system_.FindEntryPoint(serviceLibrary_, "DeleteService");
    // A library without all six cannot be called safely; go on as if the manager refused us.
    if (!entries_.Complete())
        return;
    const WinHandle manager = system_.ScOpenManager(entries_.OpenSCManagerA, kScManagerAllAccess);
    if (manager == 0)
        return;

    driverPath_ = (programFolder.empty() ? system_.ExecutableFolder() : programFolder) + kLptDriverFileName;
    ServiceCreation creation;
    creation.Name = kLptServiceName;
    creation.DisplayName = kLptServiceDisplayName;
    creation.Access = kServiceAllAccess;
    creation.ServiceType = kServiceKernelDriver;
    creation.StartType = kServiceDemandStart;
    creation.ErrorControl = kServiceErrorNormal;
    creation.ImagePath = driverPath_.c_str();
    WinHandle service = system_.ScCreateService(entries_.CreateServiceA, manager, creation);
    if (service == 0) // typically: it is installed already
        service = system_.ScOpenService(entries_.OpenServiceA, manager, kLptServiceName, kServiceAllAccess);
    if (service != 0) {
        serviceArgs_ = nullptr;
        system_.ScStartService(entries_.StartServiceA, service, 0, serviceArgs_);
        // Set whatever the answer, so that destruction removes the service again.
        serviceStarted_ = true;
        system_.ScCloseHandle(entries_.CloseServiceHandle, service);
    }
    system_.ScCloseHandle(entries_.CloseServiceHandle, manager);
}

WinLptPortConnection::~WinLptPortConnection() {
    if (deviceHandle_ != kInvalidHandleValue)
        system_.CloseDevice(deviceHandle_);
    if (serviceStarted_ && isNT_ && serviceLibrary_ != 0)
        RemoveStartedService();
}

void WinLptPortConnection::RemoveStartedService() {
    const WinHandle manager = system_.ScOpenManager(entries_.OpenSCManagerA, kScManagerAllAccess);
    if (manager != 0) {
        const WinHandle service =
            system_.ScOpenService(entries_.OpenServiceA, manager, kLptServiceName, kServiceAllAccess);
        if (service != 0) {
            // Marked for deletion only; the driver keeps running until the system stops it.
            system_.ScDeleteService(entries_.DeleteService, service);
            system_.ScCloseHandle(entries_.CloseServiceHandle, service);
        }
        system_.ScCloseHandle(entries_.CloseServiceHandle, manager);
    }
    system_.UnloadModule(serviceLibrary_);
}

bool WinLptPortConnection::IsReady() const {
    return deviceHandle_ != kInvalidHandleValue || !isNT_;
}

bool WinLptPortConnection::Transfer(std::uint32_t ioctl, std::uint8_t* pairs, int count, bool read) {
    if (!IsReady())
        return false;
    if (count <= 0)
        return true;
    if (deviceHandle_ != kInvalidHandleValue) {
        const auto bytes = static_cast<std::uint32_t>(2 * count);
        std::uint32_t returned = 0;
        system_.SetLastErrorCode(0);
        // The driver's own answer is not consulted; only the error it leaves behind counts.
        system_.DeviceControl(deviceHandle_, ioctl, pairs, bytes, pairs, bytes, &returned);
        return system_.LastErrorCode() == 0;
    }
    for (int i = 0; i < count; ++i) {
        const std::uint16_t address = IoAddressOf(pairs[2 * i]);
        if (read)
            pairs[2 * i + 1] = PortIn(address);
        else
            PortOut(address, pairs[2 * i + 1]);
    }
    return true;
}

bool WinLptPortConnection::ReadPairs(std::uint8_t* pairs, int count) {
    return Transfer(kIoctlReadPorts, pairs, count, true);
}

bool WinLptPortConnection::WritePairs(std::uint8_t* pairs, int count) {
    return Transfer(kIoctlWritePorts, pairs, count, false);
}

std::uint8_t WinLptPortConnection::ReadRegister(std::uint8_t port, std::uint8_t reg) {
    return ReadOnePair(*this, port, reg);
}

void WinLptPortConnection::WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) {
    WriteOnePair(*this, port, reg, value);
}

void WinLptPortConnection::PortOut(std::uint16_t address, std::uint8_t value) {
    system_.PortOut(address, value);
}

std::uint8_t WinLptPortConnection::PortIn(std::uint16_t address) {
    return system_.PortIn(address);
}

} // namespace registrator::acquisition
