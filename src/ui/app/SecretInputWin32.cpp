#ifdef _WIN32

#include "ui/app/SecretInput.h"

#include <cstdio>
#include <windows.h>

namespace registrator::ui {

namespace {

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(static_cast<std::size_t>(utf8.size()), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                           wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    std::string utf8(wide.size() * 3, '\0');
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return utf8;
}

void Say(HANDLE out, const std::wstring& text) {
    DWORD written = 0;
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// One line typed at the console, with echo off; false when the console gave nothing.
bool ReadTyped(HANDLE in, HANDLE out, const std::string& prompt, std::string& line) {
    Say(out, Wide(prompt));
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    SetConsoleMode(in, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT);
    std::wstring typed;
    wchar_t c = 0;
    DWORD got = 0;
    bool any = false;
    while (ReadConsoleW(in, &c, 1, &got, nullptr) && got == 1 && c != L'\n') {
        any = true;
        if (c != L'\r')
            typed += c;
    }
    SetConsoleMode(in, mode);
    Say(out, L"\r\n");
    line = Utf8(typed);
    return any || c == L'\n';
}

// One line from a pipe or a file, without its line end; false when the input ended before any of it.
bool ReadPiped(HANDLE in, std::string& line) {
    line.clear();
    char c = 0;
    DWORD got = 0;
    bool ended = true;
    while (ReadFile(in, &c, 1, &got, nullptr) && got == 1) {
        ended = false;
        if (c == '\n')
            break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return !ended;
}

} // namespace

std::vector<std::string> ReadSecretLines(const std::vector<std::string>& prompts) {
    std::vector<std::string> lines;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    const DWORD type = in && in != INVALID_HANDLE_VALUE ? GetFileType(in) : FILE_TYPE_UNKNOWN;
    if (type == FILE_TYPE_PIPE || type == FILE_TYPE_DISK) {
        std::string line;
        for (std::size_t i = 0; i < prompts.size() && ReadPiped(in, line); ++i)
            lines.push_back(line);
        return lines;
    }
    // A window program has no console input of its own, and the console it was started from goes on
    // reading commands meanwhile: the passwords are asked for in a console of this process.
    DWORD mode = 0;
    const bool own = !(in && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode));
    if (own) {
        FreeConsole();
        AllocConsole();
        SetConsoleTitleW(L"Registrator");
    }
    HANDLE conin = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE conout = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (conin != INVALID_HANDLE_VALUE && conout != INVALID_HANDLE_VALUE) {
        std::string line;
        for (std::size_t i = 0; i < prompts.size() && ReadTyped(conin, conout, prompts[i], line); ++i)
            lines.push_back(line);
    }
    if (conin != INVALID_HANDLE_VALUE)
        CloseHandle(conin);
    if (conout != INVALID_HANDLE_VALUE)
        CloseHandle(conout);
    if (own) {
        // What follows (written, or why not) goes to the console the program was started from.
        FreeConsole();
        if (AttachConsole(ATTACH_PARENT_PROCESS)) {
            std::freopen("CONOUT$", "w", stdout);
            std::freopen("CONOUT$", "w", stderr);
        }
    }
    return lines;
}

void MakeNewFilesPrivate() {}

} // namespace registrator::ui

#endif
