#pragma once

#include <filesystem>
#include <string>

namespace registrator::support {

// A fresh folder under the system's temporary folder (or under `parent`), removed with everything in
// it at the end.
class TempFolder {
public:
    explicit TempFolder(const std::filesystem::path& parent = std::filesystem::temp_directory_path());
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // A file in the folder, as the program's own string paths take it.
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // The folder with its trailing separator, as the program's folder settings hold it.
    std::string Slash() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

} // namespace registrator::support
