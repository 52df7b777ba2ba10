#ifndef _WIN32

#include "ui/app/SecretInput.h"

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace registrator::ui {

namespace {

termios gTyped{};

// Ctrl+C while echo is off: the terminal gets its echo back before the process ends.
void RestoreAndEnd(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &gTyped);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// One line without its line end; false when the input ended before any of it.
bool ReadLine(std::string& line) {
    line.clear();
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return c != EOF || !line.empty();
}

} // namespace

std::vector<std::string> ReadSecretLines(const std::vector<std::string>& prompts) {
    std::vector<std::string> lines;
    const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &gTyped) == 0;
    for (const std::string& prompt : prompts) {
        std::string line;
        bool read = false;
        if (terminal) {
            std::fputs(prompt.c_str(), stderr);
            std::fflush(stderr);
            termios quiet = gTyped;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            std::signal(SIGINT, RestoreAndEnd);
            std::signal(SIGTERM, RestoreAndEnd);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
            read = ReadLine(line);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gTyped);
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            // The Enter typed was not echoed either.
            std::fputc('\n', stderr);
        } else {
            read = ReadLine(line);
        }
        if (!read)
            break;
        lines.push_back(std::move(line));
    }
    return lines;
}

void MakeNewFilesPrivate() {
    ::umask(077);
}

} // namespace registrator::ui

#endif
