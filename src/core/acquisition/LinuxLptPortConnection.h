#pragma once

#include "acquisition/LinuxPortSystem.h"
#include "acquisition/LptAddressing.h"
#include "acquisition/PortAccess.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace registrator::acquisition {

constexpr const char* kDefaultParportDevice = "/dev/parport0";

// The Linux TLptPortConnection. Its driver path is the kernel's ppdev device, which reaches port
// 0x20's data, status and control registers only; when the device cannot be opened and port I/O
// is permitted, the direct path uses port instructions at the usual I/O bases. Otherwise the
// connection is unavailable and LastError is the errno of the failed open.
class LinuxLptPortConnection final : public PortAccess {
public:
    // `device` is the ppdev device of port 0x20; empty means /dev/parport0.
    LinuxLptPortConnection(LinuxPortSystem& system, std::string device);
    LinuxLptPortConnection(std::unique_ptr<LinuxPortSystem> system, std::string device);
    ~LinuxLptPortConnection() override;
    LinuxLptPortConnection(const LinuxLptPortConnection&) = delete;
    LinuxLptPortConnection& operator=(const LinuxLptPortConnection&) = delete;

    bool IsReady() const override { return fd_ >= 0 || direct_; }
    std::uint8_t ReadRegister(std::uint8_t port, std::uint8_t reg) override;
    void WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) override;
    std::uint32_t LastError() const override { return lastError_; }

    // Address/value pairs in order. On the ppdev path a pair that names another port, a register
    // beyond control, or a write to status is not reachable: reads give 0 and the transfer is false.
    bool ReadPairs(std::uint8_t* pairs, int count);
    bool WritePairs(std::uint8_t* pairs, int count);
    // Whether a port answers at that ID (see the free ProbePort).
    bool ProbePort(std::uint8_t portId) { return acquisition::ProbePort(*this, portId); }

    const std::string& Device() const { return device_; }
    bool UsesDevice() const { return fd_ >= 0; }
    bool UsesDirectIo() const { return direct_; }
    const std::array<bool, 3>& PortPresent() const { return portPresent_; }

private:
    void Open();
    bool GrantDirectAccess();
    bool DeviceTransfer(std::uint8_t code, std::uint8_t& value, bool read);

    std::unique_ptr<LinuxPortSystem> ownedSystem_;
    LinuxPortSystem& system_;
    std::string device_;
    int fd_ = -1;
    bool direct_ = false;
    std::array<bool, 3> portPresent_{};
    std::uint32_t lastError_ = 0;
};

} // namespace registrator::acquisition
