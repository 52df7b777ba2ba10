#pragma once

#include "archive/CsvExport.h"
#include "common/DateTime.h"

#include <cstddef>
#include <optional>
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
    // --from and --to: [From, To); a --to without a time of day takes in the whole of its day.
    std::optional<common::TDateTime> From;
    std::optional<common::TDateTime> To;
    bool PerRecord = false; // --records rather than --minute
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
    const char* NoExcel = nullptr;    // likewise --excel
    bool TakesSettings = false;
    bool TakesPeriod = false; // --from and --to (which it needs), --minute or --records
    bool FileOptional = false;
    const char* NoFile = "no archive file given";
    int (*Run)(const ToolRun& run) = nullptr;
    // Reads its own command line: every argument after its name goes to it as Arguments, unparsed.
    bool OwnArguments = false;
};

// The commands, one file each.
int ExportReadings(const ToolRun& run);
int ExportSettings(const ToolRun& run);
int ExportSummary(const ToolRun& run);
int ExportEvents(const ToolRun& run);
int ExportTrend(const ToolRun& run);
int MakeDigests(const ToolRun& run);
int ExportReport(const ToolRun& run);

// Every command, in the order the help lists them.
std::span<const ToolCommand> ToolCommands();
const ToolCommand* FindToolCommand(const std::string& name);

// On a wrong command line, false and `error` says why.
bool ParseArguments(const std::vector<std::string>& args, ToolOptions& options, std::string& error);

} // namespace registrator::tools
