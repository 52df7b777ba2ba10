#include "ArchiveExport.h"
#include "channels/SettingsFile.h"
#include "common/ExecutablePath.h"

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

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
    const int status = registrator::tools::RunArchiveTool(
        args, std::cout, std::cerr, registrator::channels::FolderOf(registrator::common::ExecutablePath()));
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "registrator-archive: cannot write to standard output\n";
        return registrator::tools::kExitBadFile;
    }
    return status;
}
