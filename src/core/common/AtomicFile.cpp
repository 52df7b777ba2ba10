#include "common/AtomicFile.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace registrator::common {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
bool WriteAndFlush(const fs::path& path, std::string_view bytes) {
    const int fd = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        const int written = _write(fd, bytes.data() + done, static_cast<unsigned>(chunk));
        ok = written > 0;
        if (ok)
            done += static_cast<std::size_t>(written);
    }
    ok = ok && _commit(fd) == 0;
    return _close(fd) == 0 && ok;
}

void FlushFolder(const fs::path&) {}
#else
bool WriteAndFlush(const fs::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        ok = written > 0;
        if (ok)
            done += static_cast<std::size_t>(written);
    }
    ok = ok && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// The rename itself is on disk only once the folder's entry is.
void FlushFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
#endif

bool IsReadOnly(const fs::file_status& status) {
    constexpr auto anyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (status.permissions() & anyWrite) == fs::perms::none;
}

} // namespace

fs::path PathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

fs::path TemporaryPathFor(const fs::path& path) {
    fs::path temporary = path;
    temporary += ".tmp";
    return temporary;
}

bool ReplaceFileAtomically(const fs::path& path, std::string_view bytes,
                           const std::function<void()>& beforeRename) {
    std::error_code error;
    fs::path target = path;
    // Replace what a link points at, not the link.
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        target = fs::canonical(path, error);
        if (error)
            return false;
    }
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (exists && (!fs::is_regular_file(status) || IsReadOnly(status)))
        return false;

    const fs::path temporary = TemporaryPathFor(target);
    if (!WriteAndFlush(temporary, bytes)) {
        fs::remove(temporary, error);
        return false;
    }
    if (exists)
        fs::permissions(temporary, status.permissions(), error);
    if (beforeRename)
        beforeRename();
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    FlushFolder(target.parent_path());
    return true;
}

} // namespace registrator::common
