#pragma once

#include "acquisition/LinuxPortSystem.h"
#include "acquisition/LptPortConnection.h"

#include <cstdint>
#include <memory>
#include <string>

namespace registrator::acquisition {

constexpr const char* kDefaultParportDevice = "/dev/parport0";

// The Linux TLptPortConnection. Its driver path is the kernel's ppdev device, which reaches port
// 0x20's data, status and control registers only; when the device cannot be opened and port I/O
// is permitted, the direct path uses port instructions at the usual I/O bases. Otherwise the
// connection is unavailable and LastError is the errno of the failed open.
class LinuxLptPortConnection final : public LptPortConnection {
public:
    // `device` is the ppdev device of port 0x20; empty means /dev/parport0.
    LinuxLptPortConnection(LinuxPortSystem& system, std::string device);
    LinuxLptPortConnection(std::unique_ptr<LinuxPortSystem> system, std::string device);
    ~LinuxLptPortConnection() override;

    bool IsReady() const override { return fd_ >= 0 || direct_; }

    const std::string& Device() const { return device_; }
    bool UsesDevice() const { return fd_ >= 0; }
    bool UsesDirectIo() const { return direct_; }

private:
    void Open();
    bool GrantDirectAccess();
    // On the ppdev path a pair that names another port, a register beyond control, or a write to
    // status is not reachable: a read gives 0 and the transfer is false.
    bool TransferPairs(std::uint8_t* pairs, int count, Direction direction) override;
    bool DeviceTransfer(std::uint8_t code, std::uint8_t& value, Direction direction);

    std::unique_ptr<LinuxPortSystem> ownedSystem_;
    LinuxPortSystem& system_;
    std::string device_;
    int fd_ = -1;
    bool direct_ = false;
};

} // namespace registrator::acquisition
