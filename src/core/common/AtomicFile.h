#pragma once

#include "common/Utf8Path.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace registrator::common {

enum class ReplaceResult {
    Replaced,
    NotWritable,   // the path is there but is no regular file, or this process may not write it
    NoTemporary,   // no temporary file may be made beside it (a folder this process cannot write)
    NotWritten,    // the temporary file could not be written whole (disk full, size limit)
    RenameRefused, // the new bytes were complete beside the file, but the system refused the rename
};

enum class Durability {
    Flushed, // on disk before the rename, and the rename on disk before it returns
    // Not flushed, for a cache that is made again when lost: a reader never sees the file torn, but
    // after a power loss it may be the old one, or the new one torn or empty.
    Cached,
};

// Replaces the file with the given bytes so that a crash or power loss at any moment leaves either
// the old file or the new one whole: the bytes go to a temporary file beside it, are flushed to
// disk, and the temporary is renamed over the old file. A link is followed: the file it leads to is
// replaced (or made), and the link stays. The new file keeps the old one's mode, and its owner and
// group where the system allows. beforeRename, when set, runs between the flush and the rename; tests
// use it to stop the process there. Unless Replaced, the old file is untouched
// and the temporary removed, and `why` (when given) holds the system's reason.
ReplaceResult ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                    const std::function<void()>& beforeRename = {},
                                    std::error_code* why = nullptr,
                                    Durability durability = Durability::Flushed);

// The file that a path names once its links are followed, whether it exists yet or not: an installed
// program reaches its settings through a link beside the executable. The path as it is when it is no
// link; `error` set for a chain that goes round.
std::filesystem::path FollowLinks(const std::filesystem::path& path, std::error_code& error);

// Overwrites an existing file with the given bytes and cuts it to their length. Not crash-safe: for
// when a file may be written but not replaced.
bool RewriteInPlace(const std::filesystem::path& path, std::string_view bytes);

// The temporary file that ReplaceFileAtomically writes beside the path.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path);

} // namespace registrator::common
