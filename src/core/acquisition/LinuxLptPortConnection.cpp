#include "acquisition/LinuxLptPortConnection.h"

namespace registrator::acquisition {

namespace {
constexpr std::uint16_t kRegistersPerPort = 8;
} // namespace

LinuxLptPortConnection::LinuxLptPortConnection(std::unique_ptr<LinuxPortSystem> system, std::string device)
    : ownedSystem_(std::move(system)), system_(*ownedSystem_),
      device_(device.empty() ? kDefaultParportDevice : std::move(device)) {
    Open();
}

LinuxLptPortConnection::LinuxLptPortConnection(LinuxPortSystem& system, std::string device)
    : system_(system), device_(device.empty() ? kDefaultParportDevice : std::move(device)) {
    Open();
}

void LinuxLptPortConnection::Open() {
    int openError = 0;
    fd_ = system_.Open(device_);
    if (fd_ < 0) {
        openError = system_.Errno();
    } else {
        // A device that another program holds is as good as none.
        std::uint8_t unused = 0;
        if (!system_.Ioctl(fd_, PpdevRequest::Claim, unused)) {
            openError = system_.Errno();
            system_.Close(fd_);
            fd_ = -1;
        }
    }
    if (fd_ < 0)
        direct_ = GrantDirectAccess();
    Opened(static_cast<std::uint32_t>(openError));
}

bool LinuxLptPortConnection::GrantDirectAccess() {
    for (const std::uint8_t id : kPortIds) {
        if (!system_.GrantPortAccess(IoAddressOf(id), kRegistersPerPort))
            return false;
    }
    return true;
}

LinuxLptPortConnection::~LinuxLptPortConnection() {
    if (fd_ >= 0) {
        std::uint8_t unused = 0;
        system_.Ioctl(fd_, PpdevRequest::Release, unused);
        system_.Close(fd_);
    }
}

bool LinuxLptPortConnection::DeviceTransfer(std::uint8_t code, std::uint8_t& value, Direction direction) {
    const bool read = direction == Direction::Read;
    const int reg = code & 0x07;
    PpdevRequest request;
    if ((code & 0xF0) != kPort2 || reg > kControlRegister || (!read && reg == kStatusRegister)) {
        if (read)
            value = 0;
        return false;
    }
    if (reg == kDataRegister)
        request = read ? PpdevRequest::ReadData : PpdevRequest::WriteData;
    else if (reg == kStatusRegister)
        request = PpdevRequest::ReadStatus;
    else
        request = read ? PpdevRequest::ReadControl : PpdevRequest::WriteControl;
    std::uint8_t byte = value;
    if (!system_.Ioctl(fd_, request, byte))
        return false;
    if (read)
        value = byte;
    return true;
}

bool LinuxLptPortConnection::TransferPairs(std::uint8_t* pairs, int count, Direction direction) {
    if (fd_ < 0) {
        TransferDirect(system_, pairs, count, direction);
        return true;
    }
    bool ok = true;
    for (int i = 0; i < count; ++i)
        ok = DeviceTransfer(pairs[2 * i], pairs[2 * i + 1], direction) && ok;
    return ok;
}

} // namespace registrator::acquisition
