#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace registrator::common {

// A path given as UTF-8 text, as the rest of the program holds paths.
std::filesystem::path PathFromUtf8(const std::string& utf8);

// Replaces the file with the given bytes so that a crash or power loss at any moment leaves either
// the old file or the new one whole: the bytes go to a temporary file beside it, are flushed to
// disk, and the temporary is renamed over the old file. A read-only file (no write permission bit)
// is not replaced. beforeRename, when set, runs between the flush and the rename; tests use it to
// stop the process there. Returns false when the file could not be replaced; the old file is
// then untouched and the temporary removed.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                           const std::function<void()>& beforeRename = {});

// The temporary file that ReplaceFileAtomically writes beside the path.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path);

} // namespace registrator::common
