#include "ArchiveExport.h"

#include "FileTrouble.h"
#include "ToolCommand.h"

#include <array>

namespace registrator::tools {

namespace {

// A new command is a row here and a file with its Export function.
constexpr std::array kCommands = {
    ToolCommand{
        .Name = "readings",
        .Usage = "readings FILE [--channels LIST] [--excel]",
        .Help =
            "  readings FILE   a day's readings file (Data/dd.mm.yyyy.txt, 584-byte records): a header row\n"
            "                  \"time,ch1,...,ch72\", then one row per record with its time of day as\n"
            "                  HH:MM:SS.mmm (HH:MM:SS,mmm with --excel) and the channels' currents in "
            "amperes.\n",
        .Run = ExportReadings},
    ToolCommand{
        .Name = "settings",
        .Usage = "settings FILE [--channels LIST] [--excel]",
        .Help =
            "  settings FILE   a day's settings snapshot (Data/dd.mm.yyyyUST.txt, 80-byte records): a "
            "header\n"
            "                  row, then one row per channel: channel, name (UTF-8), nominal current (A),\n"
            "                  critical current (A), power (kW).\n",
        .Run = ExportSettings},
    ToolCommand{
        .Name = "summary",
        .Usage = "summary FILE [SNAPSHOT] [--settings INI] [--excel]",
        .Help =
            "  summary FILE [SNAPSHOT]\n"
            "                  the day of each of the 72 motors, one row each: time off, running, above\n"
            "                  nominal and above critical, starts, peak current and its time, overload\n"
            "                  episodes (see the README). Each motor's thresholds come from the day's\n"
            "                  snapshot (SNAPSHOT, else the dd.mm.yyyyUST.txt beside FILE) where it holds\n"
            "                  the motor, else from the present settings (--settings INI, else the\n"
            "                  Registrator.INI beside this tool, else the program's defaults); the\n"
            "                  switch-off current always from the present settings; thresholds_from\n"
            "                  says which: snapshot, settings or defaults. The journal_ columns after it\n"
            "                  count starts, long starts and overloads in the day's event journal\n"
            "                  (the dd.mm.yyyy.events.csv beside FILE); empty without one.\n",
        .MostArguments = 1,
        .NoChannels = "summary writes all 72 motors; --channels does not apply to it",
        .TakesSettings = true,
        .Run = ExportSummary},
    ToolCommand{
        .Name = "events",
        .Usage = "events JOURNAL [--excel]",
        .Help =
            "  events JOURNAL  a day's event journal (Data/dd.mm.yyyy.events.csv): a header row, then its\n"
            "                  lines: time (yyyy-mm-dd HH:MM:SS, with --excel dd.mm.yyyy HH:MM:SS as the\n"
            "                  journal has it), event, channel, section, name, peak current (A),\n"
            "                  duration (s), alarm (\"да\") and details, the texts as the journal has\n"
            "                  them.\n",
        .NoChannels = "events writes the whole journal; --channels does not apply to it",
        .Run = ExportEvents},
    ToolCommand{
        .Name = "trend",
        .Usage = "trend [DATA_FOLDER] --from DATE[ HH:MM] --to DATE[ HH:MM] [--channels LIST]\n"
                 "                           [--minute | --records] [--settings INI] [--excel]",
        .Help =
            "  trend [DATA_FOLDER]\n"
            "                  the channels over a period of any length, from the day files of the\n"
            "                  archive folder (DATA_FOLDER, else the Data folder beside this tool), day\n"
            "                  after day in bounded memory: a header row, then with --minute (the\n"
            "                  default) one row per minute that holds records: date (DD.MM.YYYY), time\n"
            "                  of the minute's start, then each channel's lowest, mean and highest\n"
            "                  current and its records in that minute, from the digests in\n"
            "                  DATA_FOLDER/digest (made where missing or stale, with a progress line);\n"
            "                  with --records one row per record: date, time, each channel's current.\n"
            "                  --from DD.MM.YYYY starts at that midnight, --to DD.MM.YYYY takes in the\n"
            "                  whole of that day; with a time (\"06.12.2026 08:00\") the period starts\n"
            "                  there, or ends just before it. The spreadsheet form heads the columns with\n"
            "                  the motors' names of the period's newest snapshot.\n",
        .MostArguments = 0,
        .TakesSettings = true,
        .TakesPeriod = true,
        .FileOptional = true,
        .Run = ExportTrend},
    ToolCommand{
        .Name = "digest",
        .Usage = "digest DATA_FOLDER [--settings INI]",
        .Help =
            "  digest DATA_FOLDER\n"
            "                  makes ahead of time every missing or stale digest of the archive folder\n"
            "                  (DATA_FOLDER/digest/dd.mm.yyyy.digest, what trends over a period are read\n"
            "                  from), reading each day file at most once, with a progress line; then says\n"
            "                  on one line how many were made.\n",
        .NoChannels = "digest makes the digests of all 72 channels; --channels does not apply to it",
        .NoExcel = "digest writes no CSV; --excel does not apply to it",
        .TakesSettings = true,
        .NoFile = "no archive folder given (the recorder's Data folder)",
        .Run = MakeDigests},
    ToolCommand{
        .Name = "report",
        .Usage = "report [FOLDER] --shift DATE/N|--day DATE|--month MM.YYYY|--from TIME --to TIME\n"
                 "                           [--settings INI] [--csv] [--excel] [--pdf FILE] [--xlsx FILE]\n"
                 "                           [--station NAME]",
        .Help =
            "  report [FOLDER] the figures of a period from the archive folder FOLDER (Data under the\n"
            "                  working directory when not given): per motor, then per section and for the\n"
            "                  plant, run time, starts, long starts, the longest start and its highest\n"
            "                  peak, overloads outside starts and their time, time above nominal, the\n"
            "                  highest and the mean running current, time without records and an energy\n"
            "                  estimate; then the period's alarms with their acknowledgements, then its\n"
            "                  calibration changes (see the README). The period is a shift (--shift\n"
            "                  06.12.2026/2: the day it begins on and its number, the shifts as the\n"
            "                  settings file's [Shifts] gives them, else 08:00 and 20:00), a day (--day\n"
            "                  06.12.2026), a month (--month 12.2026) or any whole minutes (--from\n"
            "                  \"06.12.2026 08:00\" --to \"07.12.2026 08:00\"). --settings INI as for\n"
            "                  summary, with each motor's LineVoltage and PowerFactor; --csv names the\n"
            "                  form written, CSV on standard output. --pdf FILE writes the report as a\n"
            "                  printable PDF (A4 landscape), --xlsx FILE as a workbook with a sheet per\n"
            "                  section, one for the plant, the alarms and the calibration changes; a\n"
            "                  month's adds the motors' health. With either, the CSV is written only\n"
            "                  when --csv or --excel asks for it. --station NAME heads them (the\n"
            "                  computer's name when not given). PDF needs no display: Qt's offscreen\n"
            "                  platform is used unless QT_QPA_PLATFORM names another.\n",
        .Run = ExportReport,
        .OwnArguments = true},
};

} // namespace

std::span<const ToolCommand> ToolCommands() {
    return kCommands;
}

const ToolCommand* FindToolCommand(const std::string& name) {
    for (const ToolCommand& command : ToolCommands())
        if (name == command.Name)
            return &command;
    return nullptr;
}

std::string HelpText() {
    std::string text;
    for (const ToolCommand& command : ToolCommands())
        text +=
            std::string(text.empty() ? "Usage: " : "       ") + "registrator-archive " + command.Usage + '\n';
    text += "\n"
            "Writes one archive file of the recorder, a period of its archive folder, or a period's\n"
            "figures, as CSV to standard output.\n"
            "\n";
    for (const ToolCommand& command : ToolCommands())
        text += command.Help;
    return text +
           "\n"
           "Options:\n"
           "  --channels LIST  only these channels, in the order given: numbers 1-72 and ranges,\n"
           "                   for example 1,5,13-24. A channel may appear once. Not for summary,\n"
           "                   events, digest or report.\n"
           "  --settings INI   summary, trend, digest and report: the present settings file (the\n"
           "                   switch-off currents, and the thresholds and names of motors the day's\n"
           "                   snapshot does not hold).\n"
           "  --from, --to     trend only: the period, DD.MM.YYYY with an optional time HH:MM.\n"
           "  --minute, --records\n"
           "                   trend only: a row per minute (the default) or per record.\n"
           "  --excel          ';' between fields and ',' as the decimal separator (in numbers and in the\n"
           "                   fraction of a second), with a UTF-8 byte order mark, as spreadsheets\n"
           "                   under Russian regional settings expect.\n"
           "                   Without it the output is RFC 4180 CSV (',' between fields, '.' decimals,\n"
           "                   CRLF line ends; a field holding the separator, a quote or a line break\n"
           "                   is quoted).\n"
           "  -h, --help       this text.\n"
           "\n"
           "Exit status: 0 when every record was written; 1 when the file is missing, unreadable or\n"
           "empty, holds more than 72 settings records or lacks a channel asked for (all 72 unless\n"
           "--channels says otherwise), or ends with an unfinished record (the whole records before it\n"
           "are still written); likewise when a journal is no journal (no header line) or ends with a\n"
           "torn line; likewise when a day of a period cannot be read (the other days are still\n"
           "written) or digests cannot be written to DATA_FOLDER/digest; for report, when a day file\n"
           "of the period cannot be read or none is there; 2 when the command line is wrong. Every\n"
           "problem is described on standard error.\n";
}

int RunArchiveTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const std::string& toolFolder) {
    ToolOptions options;
    std::string error;
    if (!ParseArguments(args, options, error)) {
        err << kToolPrefix << error << "\nTry 'registrator-archive --help'.\n";
        return kExitBadUsage;
    }
    if (options.Help) {
        out << HelpText();
        return kExitOk;
    }
    const archive::CsvForm form = options.Excel ? archive::CsvForm::Spreadsheet : archive::CsvForm::Plain;
    return FindToolCommand(options.Command)->Run({options, form, out, err, toolFolder});
}

} // namespace registrator::tools
