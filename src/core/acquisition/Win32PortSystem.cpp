#ifdef _WIN32

#include "acquisition/Win32PortSystem.h"

#include <windows.h>

namespace registrator::acquisition {

namespace {

HANDLE ToHandle(WinHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}
SC_HANDLE ToScHandle(WinHandle handle) {
    return reinterpret_cast<SC_HANDLE>(handle);
}
template <class T> WinHandle FromHandle(T handle) {
    return reinterpret_cast<WinHandle>(handle);
}
template <class Function> Function Entry(ProcAddress address) {
    return reinterpret_cast<Function>(address);
}

static_assert(sizeof(OSVERSIONINFOA) == 148);

class RealWin32PortSystem final : public Win32PortSystem {
public:
    std::uint32_t QueryPlatformId() override {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (!::GetVersionExA(&info))
            return 0;
        return info.dwPlatformId;
    }

    void SetLastErrorCode(std::uint32_t code) override { ::SetLastError(code); }
    std::uint32_t LastErrorCode() override { return ::GetLastError(); }

    WinHandle OpenDevice(const char* name) override {
        return FromHandle(::CreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    }

    bool DeviceControl(WinHandle device, std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        DWORD returned = *bytesReturned;
        const BOOL ok =
            ::DeviceIoControl(ToHandle(device), code, in, inSize, out, outSize, &returned, nullptr);
        *bytesReturned = returned;
        return ok != FALSE;
    }

    bool CloseDevice(WinHandle device) override { return ::CloseHandle(ToHandle(device)) != FALSE; }

    std::string ExecutableFolder() override {
        char path[MAX_PATH + 1] = {};
        const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string folder(path, length);
        const auto cut = folder.find_last_of("\\/:");
        return cut == std::string::npos ? std::string() : folder.substr(0, cut + 1);
    }

    WinModule LoadModule(const char* name) override { return FromHandle(::LoadLibraryA(name)); }

    ProcAddress FindEntryPoint(WinModule module, const char* name) override {
        return reinterpret_cast<ProcAddress>(::GetProcAddress(reinterpret_cast<HMODULE>(module), name));
    }

    bool UnloadModule(WinModule module) override {
        return ::FreeLibrary(reinterpret_cast<HMODULE>(module)) != FALSE;
    }

    WinHandle ScOpenManager(ProcAddress entry, std::uint32_t access) override {
        return FromHandle(Entry<decltype(&::OpenSCManagerA)>(entry)(nullptr, nullptr, access));
    }

    WinHandle ScCreateService(ProcAddress entry, WinHandle manager, const ServiceCreation& s) override {
        return FromHandle(Entry<decltype(&::CreateServiceA)>(entry)(
            ToScHandle(manager), s.Name, s.DisplayName, s.Access, s.ServiceType, s.StartType, s.ErrorControl,
            s.ImagePath, nullptr, nullptr, nullptr, nullptr, nullptr));
    }

    WinHandle ScOpenService(ProcAddress entry, WinHandle manager, const char* name,
                            std::uint32_t access) override {
        return FromHandle(Entry<decltype(&::OpenServiceA)>(entry)(ToScHandle(manager), name, access));
    }

    bool ScStartService(ProcAddress entry, WinHandle service, std::uint32_t argCount,
                        const char** args) override {
        return Entry<decltype(&::StartServiceA)>(entry)(ToScHandle(service), argCount, args) != FALSE;
    }

    bool ScDeleteService(ProcAddress entry, WinHandle service) override {
        return Entry<decltype(&::DeleteService)>(entry)(ToScHandle(service)) != FALSE;
    }

    bool ScCloseHandle(ProcAddress entry, WinHandle handle) override {
        return Entry<decltype(&::CloseServiceHandle)>(entry)(ToScHandle(handle)) != FALSE;
    }

    void PortOut(std::uint16_t address, std::uint8_t value) override {
#if defined(__x86_64__) || defined(__i386__)
        __asm__ volatile("outb %0, %1" : : "a"(value), "Nd"(address));
#else
        (void)address;
        (void)value;
#endif
    }

    std::uint8_t PortIn(std::uint16_t address) override {
#if defined(__x86_64__) || defined(__i386__)
        std::uint8_t value;
        __asm__ volatile("inb %1, %0" : "=a"(value) : "Nd"(address));
        return value;
#else
        (void)address;
        return 0xFF;
#endif
    }
};

} // namespace

std::unique_ptr<Win32PortSystem> MakeWin32PortSystem() {
    return std::make_unique<RealWin32PortSystem>();
}

} // namespace registrator::acquisition

#endif // _WIN32
