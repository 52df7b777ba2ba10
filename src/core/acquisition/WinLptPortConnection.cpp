#include "acquisition/WinLptPortConnection.h"

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
    Opened(deviceHandle_ == kInvalidHandleValue ? system_.LastErrorCode() : 0);
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

bool WinLptPortConnection::TransferPairs(std::uint8_t* pairs, int count, Direction direction) {
    if (deviceHandle_ == kInvalidHandleValue) {
        TransferDirect(system_, pairs, count, direction);
        return true;
    }
    const std::uint32_t ioctl = direction == Direction::Read ? kIoctlReadPorts : kIoctlWritePorts;
    const auto bytes = static_cast<std::uint32_t>(2 * count);
    std::uint32_t returned = 0;
    system_.SetLastErrorCode(0);
    // The driver's own answer is not consulted; only the error it leaves behind counts.
    system_.DeviceControl(deviceHandle_, ioctl, pairs, bytes, pairs, bytes, &returned);
    return system_.LastErrorCode() == 0;
}

} // namespace registrator::acquisition
