#include "PortAdvice.h"

#include <system_error>

#if defined(__linux__)
#include "acquisition/LinuxLptPortConnection.h"

#include <cerrno>
#endif

namespace registrator::tools {

namespace {

std::string Checks(std::uint32_t code) {
#if defined(__linux__)
    switch (code) {
    case ENOENT:
        return "  - load the parallel-port device driver: sudo modprobe ppdev\n"
               "  - see which ports there are: ls -l /dev/parport*\n"
               "  - check that the port is enabled in the BIOS (mode SPP)\n";
    case EACCES:
    case EPERM:
        return "  - this user may not open the device: sudo usermod -aG lp \"$USER\", then log in again,\n"
               "    or install the udev rule given in the README\n";
    case EBUSY:
        return "  - another program or driver holds the device: stop it; the printer driver can be\n"
               "    unloaded when no printer is used on the port (sudo rmmod lp)\n";
    case ENOTTY:
        return "  - the device is not a parallel port of the ppdev driver: give /dev/parportN, not\n"
               "    /dev/lpN or a serial port\n";
    case ENXIO:
    case ENODEV:
        return "  - the kernel found no port behind the device, or another driver holds it exclusively:\n"
               "    dmesg | grep -i parport, and the port in the BIOS\n";
    default:
        return "  - the device node (ls -l /dev/parport*), the lp group of this user, the ppdev module\n"
               "    and the BIOS port mode, as the README describes\n";
    }
#else
    (void)code;
    return "  - the port-access driver must be installed and started, which needs an administrator\n"
           "    once; the port must be enabled in the BIOS\n";
#endif
}

} // namespace

std::string DescribePort(const acquisition::PortAccess& port, const std::string& device) {
    if (!port.SimulationNote().empty())
        return "simulated plant (" + port.SimulationNote() + ")";
#if defined(__linux__)
    if (const auto* lpt = dynamic_cast<const acquisition::LinuxLptPortConnection*>(&port)) {
        if (lpt->UsesDevice())
            return "ppdev " + lpt->Device();
        std::string text = "direct port I/O at 0x378 (" + lpt->Device() + " could not be opened)";
        if (!lpt->PortPresent()[1])
            text += "; NO PORT ANSWERS AT 0x378";
        return text;
    }
#endif
    return "parallel port " + (device.empty() ? std::string("0x378") : device);
}

std::string PortFailureText(const std::string& device, std::uint32_t code) {
    const std::string reason = std::system_category().message(static_cast<int>(code));
    std::string text = "registrator-scan: cannot open the parallel port " + device + ": " + reason +
                       " (error " + std::to_string(code) + ")\n";
#if defined(__linux__)
    text += "Direct port I/O at 0x378 was refused as well (it needs root on an x86 PC).\n";
#endif
    return text + "Check:\n" + Checks(code);
}

} // namespace registrator::tools
