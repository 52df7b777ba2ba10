#pragma once

#include "acquisition/LptAddressing.h"

#include <cstdint>
#include <memory>
#include <string>

namespace registrator::acquisition {

// Win32 handles as integers, so the connection logic builds and is tested on every platform.
using WinHandle = std::uintptr_t;
// What CreateFile gives when it fails: all bits set. Service and module handles use 0 instead.
constexpr WinHandle kInvalidHandleValue = ~WinHandle{0};
using WinModule = std::uintptr_t;
// An entry point looked up by name; the binding casts it back to the function's real type.
using ProcAddress = void (*)();

constexpr std::uint32_t kPlatformWin32Nt = 2;

// The arguments of a service creation that vary; the rest (group, tag, dependencies, account,
// password) are always none.
struct ServiceCreation {
    const char* Name = nullptr;
    const char* DisplayName = nullptr;
    std::uint32_t Access = 0;
    std::uint32_t ServiceType = 0;
    std::uint32_t StartType = 0;
    std::uint32_t ErrorControl = 0;
    const char* ImagePath = nullptr;
};

// The Win32 calls that the port connection makes, one method each (the port instructions serve
// Windows outside the NT family). The real binding exists only in Windows builds; tests stand in for
// it everywhere.
class Win32PortSystem : public PortInstructions {
public:
    virtual ~Win32PortSystem() = default;

    // GetVersionExA with the basic version record: the platform ID, or 0 when the query fails.
    virtual std::uint32_t QueryPlatformId() = 0;
    virtual void SetLastErrorCode(std::uint32_t code) = 0;
    virtual std::uint32_t LastErrorCode() = 0;
    // CreateFileA: read and write access, shared for reading and writing, open existing only.
    virtual WinHandle OpenDevice(const char* name) = 0;
    virtual bool DeviceControl(WinHandle device, std::uint32_t code, void* in, std::uint32_t inSize,
                               void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) = 0;
    virtual bool CloseDevice(WinHandle device) = 0;
    // Folder of the running executable, ending in a path separator.
    virtual std::string ExecutableFolder() = 0;

    virtual WinModule LoadModule(const char* name) = 0;
    virtual ProcAddress FindEntryPoint(WinModule module, const char* name) = 0;
    virtual bool UnloadModule(WinModule module) = 0;

    // Service control through the entry points found in the service library. Handles are 0 on failure.
    virtual WinHandle ScOpenManager(ProcAddress entry, std::uint32_t access) = 0;
    virtual WinHandle ScCreateService(ProcAddress entry, WinHandle manager,
                                      const ServiceCreation& service) = 0;
    virtual WinHandle ScOpenService(ProcAddress entry, WinHandle manager, const char* name,
                                    std::uint32_t access) = 0;
    virtual bool ScStartService(ProcAddress entry, WinHandle service, std::uint32_t argCount,
                                const char** args) = 0;
    virtual bool ScDeleteService(ProcAddress entry, WinHandle service) = 0;
    virtual bool ScCloseHandle(ProcAddress entry, WinHandle handle) = 0;
};

// The real calls; Windows builds only.
std::unique_ptr<Win32PortSystem> MakeWin32PortSystem();

} // namespace registrator::acquisition
