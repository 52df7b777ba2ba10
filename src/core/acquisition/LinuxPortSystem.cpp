#ifdef __linux__

#include "acquisition/LinuxPortSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#if (defined(__x86_64__) || defined(__i386__)) && __has_include(<sys/io.h>)
#include <sys/io.h>
#define REGISTRATOR_HAS_PORT_IO 1
#else
#define REGISTRATOR_HAS_PORT_IO 0
#endif

namespace registrator::acquisition {

namespace {

class RealLinuxPortSystem final : public LinuxPortSystem {
public:
    int Open(const std::string& path) override { return Result(::open(path.c_str(), O_RDWR | O_CLOEXEC)); }

    void Close(int fd) override { ::close(fd); }

    bool Ioctl(int fd, PpdevRequest request, std::uint8_t& value) override {
        unsigned char byte = value;
        int result = -1;
        switch (request) {
        case PpdevRequest::Claim:
            result = ::ioctl(fd, PPCLAIM);
            break;
        case PpdevRequest::Release:
            result = ::ioctl(fd, PPRELEASE);
            break;
        case PpdevRequest::WriteData:
            result = ::ioctl(fd, PPWDATA, &byte);
            break;
        case PpdevRequest::ReadData:
            result = ::ioctl(fd, PPRDATA, &byte);
            break;
        case PpdevRequest::ReadStatus:
            result = ::ioctl(fd, PPRSTATUS, &byte);
            break;
        case PpdevRequest::WriteControl:
            result = ::ioctl(fd, PPWCONTROL, &byte);
            break;
        case PpdevRequest::ReadControl:
            result = ::ioctl(fd, PPRCONTROL, &byte);
            break;
        }
        if (Result(result) < 0)
            return false;
        value = byte;
        return true;
    }

    bool GrantPortAccess(std::uint16_t base, std::uint16_t count) override {
#if REGISTRATOR_HAS_PORT_IO
        return Result(::ioperm(base, count, 1)) == 0;
#else
        (void)base;
        (void)count;
        errno_ = ENOSYS;
        return false;
#endif
    }

    void PortOut(std::uint16_t address, std::uint8_t value) override {
#if REGISTRATOR_HAS_PORT_IO
        ::outb(value, address);
#else
        (void)address;
        (void)value;
#endif
    }

    std::uint8_t PortIn(std::uint16_t address) override {
#if REGISTRATOR_HAS_PORT_IO
        return ::inb(address);
#else
        (void)address;
        return 0xFF;
#endif
    }

    int Errno() const override {
        return errno_;
    }

private:
    int Result(int result) {
        if (result < 0)
            errno_ = errno;
        return result;
    }

    int errno_ = 0;
};

} // namespace

std::unique_ptr<LinuxPortSystem> MakeLinuxPortSystem() {
    return std::make_unique<RealLinuxPortSystem>();
}

} // namespace registrator::acquisition

#endif // __linux__
