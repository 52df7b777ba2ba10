#include "ArchiveExport.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

// This executable's folder with its trailing separator, where the release keeps the program's
// settings file beside the tools; empty when the system does not say.
std::string ToolFolder() {
#ifdef _WIN32
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, 32768);
    if (n == 0 || n >= 32768)
        return {};
    const std::filesystem::path self(std::wstring(buffer, n));
#else
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
#endif
    const std::filesystem::path folder = self.parent_path();
    if (folder.empty())
        return {};
    const auto text = (folder / "").u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // Past a file-size limit the output then fails and is reported, instead of killing the tool.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef _WIN32
    // The CSV carries its own CRLF line ends; text mode would double the CR.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = registrator::tools::RunArchiveTool(args, std::cout, std::cerr, ToolFolder());
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "registrator-archive: cannot write to standard output\n";
        return registrator::tools::kExitBadFile;
    }
    return status;
}
