#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace registrator::archive {

// An archive file opened so that no other reader or writer is ever blocked (shared read, write and
// delete on Windows; plain descriptors elsewhere). Only regular files open: a pipe or a device under a
// day's name would block the program at its first read or write, and the open itself never waits.
// Paths are UTF-8. Closed on destruction.
class ArchiveFile {
public:
    enum class Mode {
        Read,            // existing file only
        ReadWriteCreate, // existing file kept as it is, or a new empty one
        CreateTruncate,  // new or emptied file
    };
    // Whether a symbolic link as the last part of the path is followed. Files served to other
    // computers are refused as links, so that nothing outside the archive folder is ever read for them.
    enum class Links { Follow, Refuse };

    ArchiveFile() = default;
    ArchiveFile(const std::string& path, Mode mode, Links links = Links::Follow);
    ~ArchiveFile();
    ArchiveFile(ArchiveFile&& other) noexcept;
    ArchiveFile& operator=(ArchiveFile&& other) noexcept;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    bool IsOpen() const { return handle_ != kNoHandle; }
    std::optional<std::uint64_t> Size();
    bool Seek(std::uint64_t offset);
    // Reads until `bytes` are in or the file ends; returns the count read. A failure leaves Error() set.
    std::size_t Read(void* buffer, std::size_t bytes);
    bool Write(const void* data, std::size_t bytes);
    bool Close();

    // The system's account of the last failure ("" when none).
    const std::string& Error() const { return error_; }
    const std::error_code& ErrorCode() const { return code_; }

private:
    static constexpr std::intptr_t kNoHandle = -1;
    void Fail();

    std::intptr_t handle_ = kNoHandle;
    std::string error_;
    std::error_code code_;
};

} // namespace registrator::archive
