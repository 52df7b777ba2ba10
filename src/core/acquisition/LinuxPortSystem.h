#pragma once

#include "acquisition/LptAddressing.h"

#include <cstdint>
#include <memory>
#include <string>

namespace registrator::acquisition {

// The ppdev requests the connection uses.
enum class PpdevRequest { Claim, Release, WriteData, ReadData, ReadStatus, WriteControl, ReadControl };

// The Linux calls that the port connection makes, one method each, the port instructions among
// them. The real binding exists only in Linux builds; tests stand in for it everywhere.
class LinuxPortSystem : public PortInstructions {
public:
    virtual ~LinuxPortSystem() = default;

    // open(2) for reading and writing: a descriptor, or -1 (see Errno).
    virtual int Open(const std::string& path) = 0;
    virtual void Close(int fd) = 0;
    // One ioctl; `value` carries the byte of the data, status and control requests. False on failure.
    virtual bool Ioctl(int fd, PpdevRequest request, std::uint8_t& value) = 0;
    // ioperm(2) for `count` ports from `base`.
    virtual bool GrantPortAccess(std::uint16_t base, std::uint16_t count) = 0;
    // errno left by the last call that failed.
    virtual int Errno() const = 0;
};

// The real calls; Linux builds only.
std::unique_ptr<LinuxPortSystem> MakeLinuxPortSystem();

} // namespace registrator::acquisition
