#include "acquisition/PortFactory.h"

#include "acquisition/SimulatedPort.h"

#if defined(_WIN32)
#include "acquisition/WinLptPortConnection.h"
#elif defined(__linux__)
#include "acquisition/LinuxLptPortConnection.h"
#else
#error "No parallel-port backend for this platform"
#endif

namespace registrator::acquisition {

#if defined(_WIN32)
using TLptPortConnection = WinLptPortConnection;
#else
using TLptPortConnection = LinuxLptPortConnection;
#endif

std::string PortName(const PortOptions& options) {
#if defined(_WIN32)
    (void)options;
    return std::string("the port-access driver ") + kLptDeviceName;
#else
    return options.Device.empty() ? std::string(kDefaultParportDevice) : options.Device;
#endif
}

std::unique_ptr<PortAccess> MakePort(const PortOptions& options, const channels::UstavkiTable& ustavki,
                                     const common::Clock& clock) {
    if (options.Simulate)
        return std::make_unique<SimulatedPort>(ustavki, clock, options.Seed);
#if defined(_WIN32)
    return std::make_unique<TLptPortConnection>(MakeWin32PortSystem(), options.ProgramFolder);
#else
    return std::make_unique<TLptPortConnection>(MakeLinuxPortSystem(), options.Device);
#endif
}

} // namespace registrator::acquisition
