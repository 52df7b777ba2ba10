#include "common/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace registrator::common {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// Opening for writing asks the file's own access rules, which the read-only attribute alone does not
// cover.
bool MayWrite(const fs::path& path) {
    // The attribute binds every account, administrators too; asked first, as some file systems and
    // emulations let an administrator open such a file for writing all the same.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    const HANDLE h =
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        // Held open by a program that shares no writing: the rename decides.
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return true;
}

int OpenForWriting(const fs::path& path, bool create) {
    const int flags = _O_WRONLY | _O_BINARY | (create ? _O_CREAT | _O_TRUNC : 0);
    return _wopen(path.c_str(), flags, _S_IREAD | _S_IWRITE);
}

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        const int written = _write(fd, bytes.data() + done, static_cast<unsigned>(chunk));
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool TruncateAt(int fd, std::size_t size) {
    return _chsize_s(fd, static_cast<__int64>(size)) == 0;
}

bool FlushAndClose(int fd) {
    const bool flushed = _commit(fd) == 0;
    return _close(fd) == 0 && flushed;
}

bool Close(int fd) {
    return _close(fd) == 0;
}

// A file this process may write carries no read-only attribute to copy, and its access rules come
// from the folder.
void NarrowModeBeforeWriting(int, const fs::path&) {}
void KeepModeAndOwner(int, const fs::path&) {}

void FlushFolder(const fs::path&) {}

bool RefusedByPermissions(int error) {
    return error == EACCES || error == EPERM;
}
#else
// The effective user and groups decide, as they do for the open itself; permission bits alone would
// let a file of another user be replaced whenever the folder is writable.
bool MayWrite(const fs::path& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

int OpenForWriting(const fs::path& path, bool create) {
    const int flags = O_WRONLY | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0);
    return ::open(path.c_str(), flags, 0666);
}

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool TruncateAt(int fd, std::size_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool FlushAndClose(int fd) {
    const bool flushed = ::fsync(fd) == 0;
    return ::close(fd) == 0 && flushed;
}

bool Close(int fd) {
    return ::close(fd) == 0;
}

// The bytes may be a secret (the users file, a key): the temporary, made as the umask allows or left
// by a crash, is no more open than the file it replaces while they go in. The set-id bits wait for
// KeepModeAndOwner, as a write clears them.
void NarrowModeBeforeWriting(int fd, const fs::path& original) {
    struct stat st;
    if (::stat(original.c_str(), &st) == 0)
        ::fchmod(fd, st.st_mode & 0777);
}

// Owner first: a change of owner clears the set-id bits, which the mode then restores. Only root
// may give the file away; anyone may keep a group that they belong to.
void KeepModeAndOwner(int fd, const fs::path& original) {
    struct stat st;
    if (::stat(original.c_str(), &st) != 0)
        return;
    if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // Neither may be kept: the file becomes this user's, as any file that it makes would.
    }
    ::fchmod(fd, st.st_mode & 07777);
}

// The rename itself is on disk only once the folder's entry is.
void FlushFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool RefusedByPermissions(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}
#endif

} // namespace

fs::path FollowLinks(const fs::path& path, std::error_code& error) {
    error.clear();
    std::error_code ignored;
    if (!fs::is_symlink(fs::symlink_status(path, ignored)))
        return path;
    // As many as the system itself follows before it calls it a loop.
    constexpr int kMostLinks = 40;
    fs::path at = path;
    for (int links = 0; links < kMostLinks; ++links) {
        if (!fs::is_symlink(fs::symlink_status(at, ignored)))
            return fs::weakly_canonical(at, error);
        const fs::path target = fs::read_symlink(at, error);
        if (error)
            return {};
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return {};
}

fs::path TemporaryPathFor(const fs::path& path) {
    fs::path temporary = path;
    temporary += ".tmp";
    return temporary;
}

ReplaceResult ReplaceFileAtomically(const fs::path& path, std::string_view bytes,
                                    const std::function<void()>& beforeRename, std::error_code* why,
                                    Durability durability) {
    const auto fail = [why](ReplaceResult result, std::error_code code) {
        if (why)
            *why = code;
        return result;
    };
    std::error_code error;
    // What a link leads to is replaced, not the link; a link to a file not made yet makes it.
    const fs::path target = FollowLinks(path, error);
    if (error)
        return fail(ReplaceResult::NotWritable, error);
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status))
        return fail(ReplaceResult::NotWritable, std::make_error_code(std::errc::invalid_argument));
    if (exists && !MayWrite(target))
        return fail(ReplaceResult::NotWritable, std::make_error_code(std::errc::permission_denied));

    const fs::path temporary = TemporaryPathFor(target);
    const int fd = OpenForWriting(temporary, true);
    if (fd < 0) {
        const int code = errno;
        return fail(RefusedByPermissions(code) ? ReplaceResult::NoTemporary : ReplaceResult::NotWritten,
                    {code, std::generic_category()});
    }
    if (exists)
        NarrowModeBeforeWriting(fd, target);
    bool written = WriteAll(fd, bytes);
    std::error_code writeError;
    if (!written)
        writeError = {errno, std::generic_category()};
    if (written && exists)
        KeepModeAndOwner(fd, target);
    const bool flush = durability == Durability::Flushed;
    if (!(flush ? FlushAndClose(fd) : Close(fd)) && written) {
        written = false;
        writeError = {errno, std::generic_category()};
    }
    if (!written) {
        fs::remove(temporary, error);
        return fail(ReplaceResult::NotWritten, writeError);
    }
    if (beforeRename)
        beforeRename();
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return fail(ReplaceResult::RenameRefused, error);
    }
    if (flush)
        FlushFolder(target.parent_path());
    return ReplaceResult::Replaced;
}

// Overwritten first and cut after, so a file that does not grow needs no new room on the disk.
bool RewriteInPlace(const fs::path& path, std::string_view bytes) {
    const int fd = OpenForWriting(path, false);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, bytes) && TruncateAt(fd, bytes.size());
    return FlushAndClose(fd) && written;
}

} // namespace registrator::common
