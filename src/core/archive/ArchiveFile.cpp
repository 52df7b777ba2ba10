#include "archive/ArchiveFile.h"

#include "common/Utf8Path.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#endif

namespace registrator::archive {

namespace {

// Large enough that a full day is a few dozen calls, small enough for any system's single-call limit.
constexpr std::size_t kChunk = std::size_t{8} << 20;

#ifdef _WIN32
HANDLE AsHandle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

std::error_code LastSystemCode() {
    return {static_cast<int>(GetLastError()), std::system_category()};
}

std::string SystemText(const std::error_code& code) {
    return "Windows error " + std::to_string(code.value());
}
#else
std::error_code LastSystemCode() {
    return {errno, std::generic_category()};
}

std::string SystemText(const std::error_code& code) {
    return code.message();
}
#endif

constexpr const char* kNotRegular = "not a regular file";

} // namespace

ArchiveFile::ArchiveFile(const std::string& path, Mode mode, Links links) {
#ifdef _WIN32
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode == Mode::ReadWriteCreate) {
        access |= GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
    } else if (mode == Mode::CreateTruncate) {
        access |= GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
    }
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const HANDLE h = CreateFileW(common::PathFromUtf8(path).c_str(), access,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                                 flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Fail();
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    BY_HANDLE_FILE_INFORMATION info;
    const bool link = links == Links::Refuse && GetFileInformationByHandle(h, &info) &&
                      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (GetFileType(h) != FILE_TYPE_DISK || link) {
        Close();
        code_ = std::make_error_code(std::errc::invalid_argument);
        error_ = link ? "a symbolic link" : kNotRegular;
    }
#else
    int flags = O_RDONLY;
    if (mode == Mode::ReadWriteCreate)
        flags = O_RDWR | O_CREAT;
    else if (mode == Mode::CreateTruncate)
        flags = O_RDWR | O_CREAT | O_TRUNC;
    if (links == Links::Refuse)
        flags |= O_NOFOLLOW;
    // A pipe would hold a plain open until a writer comes; without waiting it opens and is refused below.
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        Fail();
        return;
    }
    handle_ = fd;
    // A folder opens for reading here (Windows refuses it) and then fails at the first read, which
    // would look like an empty file rather than one that cannot be opened.
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        Fail();
        Close();
    } else if (!S_ISREG(st.st_mode)) {
        Close();
        const int why = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        code_ = {why, std::generic_category()};
        error_ = S_ISDIR(st.st_mode) ? code_.message() : kNotRegular;
    }
#endif
}

ArchiveFile::~ArchiveFile() {
    Close();
}

ArchiveFile::ArchiveFile(ArchiveFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), error_(std::move(other.error_)), code_(other.code_) {}

ArchiveFile& ArchiveFile::operator=(ArchiveFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNoHandle);
        error_ = std::move(other.error_);
        code_ = other.code_;
    }
    return *this;
}

void ArchiveFile::Fail() {
    code_ = LastSystemCode();
    error_ = SystemText(code_);
}

std::optional<std::uint64_t> ArchiveFile::Size() {
#ifdef _WIN32
    LARGE_INTEGER size;
    if (!GetFileSizeEx(AsHandle(handle_), &size)) {
        Fail();
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
#else
    struct stat st;
    if (::fstat(static_cast<int>(handle_), &st) != 0) {
        Fail();
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
#endif
}

bool ArchiveFile::Seek(std::uint64_t offset) {
#ifdef _WIN32
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN)) {
        Fail();
        return false;
    }
#else
    if (::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0) {
        Fail();
        return false;
    }
#endif
    return true;
}

std::size_t ArchiveFile::Read(void* buffer, std::size_t bytes) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < bytes) {
        const std::size_t want = std::min(bytes - done, kChunk);
#ifdef _WIN32
        DWORD got = 0;
        if (!ReadFile(AsHandle(handle_), out + done, static_cast<DWORD>(want), &got, nullptr)) {
            Fail();
            break;
        }
#else
        const ssize_t got = ::read(static_cast<int>(handle_), out + done, want);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            Fail();
            break;
        }
#endif
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool ArchiveFile::Write(const void* data, std::size_t bytes) {
    const auto* in = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < bytes) {
        const std::size_t want = std::min(bytes - done, kChunk);
#ifdef _WIN32
        DWORD put = 0;
        if (!WriteFile(AsHandle(handle_), in + done, static_cast<DWORD>(want), &put, nullptr) || put == 0) {
            Fail();
            return false;
        }
#else
        const ssize_t put = ::write(static_cast<int>(handle_), in + done, want);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            Fail();
            return false;
        }
#endif
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool ArchiveFile::Close() {
    if (!IsOpen())
        return true;
#ifdef _WIN32
    const bool ok = CloseHandle(AsHandle(handle_)) != 0;
#else
    const bool ok = ::close(static_cast<int>(handle_)) == 0;
#endif
    handle_ = kNoHandle;
    if (!ok)
        Fail();
    return ok;
}

} // namespace registrator::archive
