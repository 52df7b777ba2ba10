#pragma once

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace registrator::bench {

// Drops a file from the page cache, so that the next read of it comes from the disk.
inline void DropFromPageCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

} // namespace registrator::bench
