#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace registrator::tools {

// Exit codes of registrator-archive.
constexpr int kExitOk = 0;
constexpr int kExitBadFile = 1;  // missing, unreadable, empty or unfinished archive file
constexpr int kExitBadUsage = 2; // command line not understood

// Runs the tool on its arguments (without the program name): CSV to `out`, complaints to `err`.
// `toolFolder` (with its trailing separator) is where the program's settings file is looked for.
int RunArchiveTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const std::string& toolFolder = {});

// "1,5,13-24" -> 1, 5, 13, ..., 24 in the order given. On a bad list, nothing and `error` says why.
std::optional<std::vector<int>> ParseChannelList(std::string_view text, std::string& error);

std::string HelpText();

} // namespace registrator::tools
