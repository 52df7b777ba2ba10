#pragma once

#include "archive/CsvExport.h"

#include <cstddef>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace registrator::tools {

// The command line, understood.
struct ToolOptions {
    std::string Command;
    std::string File;
    std::vector<std::string> Arguments; // those after FILE
    std::string Settings;               // --settings INI
    std::vector<int> Channels;          // all 72 unless --channels says otherwise
    bool Excel = false;
    bool Help = false;
};

// What a command runs with.
struct ToolRun {
    const ToolOptions& Options;
    archive::CsvForm Form;
    std::ostream& Out;
    std::ostream& Err;
    const std::string& ToolFolder; // where the program's settings file is looked for
};

// One command of the tool: what the command line may give it, its lines of the help text, and what
// it does, returning the exit status.
struct ToolCommand {
    const char* Name;
    const char* Usage;                // after "registrator-archive "
    const char* Help;                 // its paragraph under the usage
    std::size_t MostArguments = 0;    // after FILE
    const char* NoChannels = nullptr; // why --channels does not apply to it; nothing when it does
    bool TakesSettings = false;
    int (*Run)(const ToolRun& run) = nullptr;
    // Reads its own command line: every argument after its name goes to it as Arguments, unparsed.
    bool OwnArguments = false;
};

// The commands, one file each.
int ExportReadings(const ToolRun& run);
int ExportSettings(const ToolRun& run);
int ExportSummary(const ToolRun& run);
int ExportEvents(const ToolRun& run);
int ExportReport(const ToolRun& run);

// Every command, in the order the help lists them.
std::span<const ToolCommand> ToolCommands();
const ToolCommand* FindToolCommand(const std::string& name);

// On a wrong command line, false and `error` says why.
bool ParseArguments(const std::vector<std::string>& args, ToolOptions& options, std::string& error);

} // namespace registrator::tools
