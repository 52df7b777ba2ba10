#include "ArchiveExport.h"

#include "archive/CsvExport.h"
#include "archive/ReadingsStream.h"
#include "archive/RecordFiles.h"
#include "channels/SettingsFile.h"
#include "common/NumberText.h"
#include "events/EventJournal.h"
#include "monitor/DaySummary.h"
#include "monitor/DaySummaryCsv.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

namespace registrator::tools {

namespace {

constexpr int kChannels = 72;
constexpr const char* kTool = "registrator-archive: ";

struct Options {
    std::string Command;
    std::string File;
    std::string Snapshot; // summary only
    std::string Settings; // summary only: the INI with the switch-off currents
    std::vector<int> Channels;
    bool Excel = false;
    bool Help = false;
};

bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error) {
    std::vector<std::string> positional;
    std::optional<std::string> channels;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg == "--excel") {
            options.Excel = true;
        } else if (arg == "--channels") {
            if (i + 1 == args.size()) {
                error = "--channels needs a list, for example --channels 1,5,13-24";
                return false;
            }
            channels = args[++i];
        } else if (arg.rfind("--channels=", 0) == 0) {
            channels = arg.substr(11);
        } else if (arg == "--settings") {
            if (i + 1 == args.size()) {
                error = "--settings needs the program's settings file";
                return false;
            }
            options.Settings = args[++i];
        } else if (arg.rfind("--settings=", 0) == 0) {
            options.Settings = arg.substr(11);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (options.Help)
        return true;
    if (positional.empty()) {
        error = "no command given";
        return false;
    }
    options.Command = positional[0];
    const bool summary = options.Command == "summary";
    const bool events = options.Command == "events";
    if (options.Command != "readings" && options.Command != "settings" && !summary && !events) {
        error = "unknown command \"" + options.Command + "\"";
        return false;
    }
    if (positional.size() < 2) {
        error = "no archive file given";
        return false;
    }
    const std::size_t most = summary ? 3 : 2;
    if (positional.size() > most) {
        error = "unexpected argument \"" + positional[most] + "\"";
        return false;
    }
    options.File = positional[1];
    if (summary && positional.size() == 3)
        options.Snapshot = positional[2];
    if (summary && channels) {
        error = "summary writes all 72 motors; --channels does not apply to it";
        return false;
    }
    if (events && channels) {
        error = "events writes the whole journal; --channels does not apply to it";
        return false;
    }
    if (!summary && !options.Settings.empty()) {
        error = "--settings applies to summary only";
        return false;
    }
    if (!channels) {
        options.Channels = archive::AllChannels();
        return true;
    }
    auto list = ParseChannelList(*channels, error);
    if (!list)
        return false;
    options.Channels = std::move(*list);
    return true;
}

std::optional<int> ParseChannelNumber(std::string_view text, std::string& error) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size() ||
        (ec != std::errc{} && ec != std::errc::result_out_of_range)) {
        error = "--channels: \"" + std::string(text) + "\" is not a channel number (1-72)";
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range || value < 1 || value > kChannels) {
        error = "--channels: channel " + std::string(text) + " is outside 1-72";
        return std::nullopt;
    }
    return value;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// "11-72" or "20, 30-31": runs of consecutive channels as ranges, in the order given.
std::string ChannelListText(const std::vector<int>& channels) {
    std::string text;
    for (std::size_t i = 0; i < channels.size();) {
        std::size_t last = i;
        while (last + 1 < channels.size() && channels[last + 1] == channels[last] + 1)
            ++last;
        if (!text.empty())
            text += ", ";
        text += std::to_string(channels[i]);
        if (last > i)
            text += "-" + std::to_string(channels[last]);
        i = last + 1;
    }
    return text;
}

int ReportFileTrouble(std::ostream& err, const std::string& file, const std::string& what) {
    err << kTool << file << ": " << what << '\n';
    return kExitBadFile;
}

// A file that gave no whole record: why, in the reader's words.
int ReportNoRecord(std::ostream& err, const std::string& file, const archive::RecordFileRead& read,
                   const char* kind, std::size_t recordSize) {
    if (!read.Opened)
        return ReportFileTrouble(err, file, "cannot open: " + read.Error);
    if (!read.Error.empty())
        return ReportFileTrouble(err, file, "cannot read: " + read.Error);
    if (read.TrailingBytes == 0)
        return ReportFileTrouble(err, file, std::string("empty: no ") + kind + " record in it");
    return ReportFileTrouble(err, file,
                             std::string("no whole ") + kind + " record, only " +
                                 std::to_string(read.TrailingBytes) + " bytes (a record is " +
                                 std::to_string(recordSize) + ")");
}

int ReportReadFailure(std::ostream& err, const std::string& file, const archive::RecordFileRead& read) {
    return ReportFileTrouble(err, file,
                             "read failed after " + std::to_string(read.Records) + " records: " + read.Error);
}

// What a stream found, in the words the reports use.
archive::RecordFileRead ReadOf(const archive::ReadingsStream& stream) {
    archive::RecordFileRead read;
    read.Opened = stream.IsOpen();
    read.Records = static_cast<std::size_t>(stream.Done());
    read.TrailingBytes = stream.TrailingBytes();
    read.Error = stream.Error();
    return read;
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::u8path(path), error);
}

// "Data/06.12.2026.txt" and "UST.txt" -> "Data/06.12.2026UST.txt": a file of the day beside its readings.
std::string DayFileBeside(const std::string& readings, const std::string& suffix) {
    constexpr std::string_view kSuffix = ".txt";
    if (readings.size() <= kSuffix.size() || readings.compare(readings.size() - 4, 4, kSuffix) != 0)
        return {};
    return readings.substr(0, readings.size() - 4) + suffix;
}

// Where a day's motors came from.
struct DaySources {
    monitor::DayMotors Day;
    std::string SettingsPath; // empty: the program's defaults
    std::string SnapshotPath;
    archive::RecordFileRead SnapshotRead;
};

// One rule for every motor, as the program's viewer and web view apply it: the day's own snapshot where
// it has the motor (SNAPSHOT, or the day's snapshot file beside FILE), else the present settings (--settings
// INI, or the program's settings file beside this tool); the switch-off current always from the present
// settings. Returns an exit status when a file named on the command line cannot be used.
std::optional<int> LoadDayMotors(const Options& options, const std::string& toolFolder, std::ostream& err,
                                 DaySources& sources) {
    channels::UstavkiTable present;
    for (int n = 1; n <= kChannels; ++n)
        present[n] = channels::DefaultUstavka(n);
    sources.SettingsPath = options.Settings;
    if (sources.SettingsPath.empty() && !toolFolder.empty() && IsRegularFile(toolFolder + "Registrator.INI"))
        sources.SettingsPath = toolFolder + "Registrator.INI";
    auto presentSource = monitor::ThresholdSource::ProgramDefaults;
    if (!sources.SettingsPath.empty()) {
        // A missing or unreadable file would load as the defaults without a word.
        const channels::SettingsLoad found =
            channels::SettingsFile(sources.SettingsPath, common::RegionalSettings::Russian())
                .LoadAll(present);
        if (found == channels::SettingsLoad::Missing)
            return ReportFileTrouble(err, sources.SettingsPath, "cannot open the settings file");
        if (found == channels::SettingsLoad::NotText)
            return ReportFileTrouble(err, sources.SettingsPath, "the settings file holds no text");
        presentSource = monitor::ThresholdSource::PresentSettings;
    }

    sources.SnapshotPath =
        options.Snapshot.empty() ? DayFileBeside(options.File, "UST.txt") : options.Snapshot;
    std::vector<archive::TUstRec> snapshot(archive::kUstRecCount);
    if (!sources.SnapshotPath.empty() && (!options.Snapshot.empty() || IsRegularFile(sources.SnapshotPath))) {
        sources.SnapshotRead = archive::ReadSnapshotFile(sources.SnapshotPath, snapshot);
        if (!options.Snapshot.empty() && sources.SnapshotRead.Records == 0)
            return ReportNoRecord(err, sources.SnapshotPath, sources.SnapshotRead, "settings",
                                  sizeof(archive::TUstRec));
    }
    sources.Day = monitor::MotorsOfDay(std::span(snapshot.data(), sources.SnapshotRead.Records), present,
                                       presentSource);
    return std::nullopt;
}

// Block by block, so a day file of any size goes out in bounded memory. The spreadsheet form heads its
// columns with the motors' names of that day.
int ExportReadings(const Options& options, archive::CsvForm form, std::ostream& out, std::ostream& err,
                   const std::string& toolFolder) {
    archive::ReadingsStream stream(options.File);
    if (!stream.IsOpen() || !stream.Error().empty() || stream.Records() == 0)
        return ReportNoRecord(err, options.File, ReadOf(stream), "readings", sizeof(archive::TArhivRec));

    std::vector<std::string> names;
    if (form == archive::CsvForm::Spreadsheet) {
        DaySources sources;
        if (!LoadDayMotors(options, toolFolder, err, sources))
            for (int n : options.Channels)
                names.push_back(sources.Day.Motors[n].Name.Utf8());
    }
    archive::ReadingsCsv csv(options.Channels, form, names);
    std::string text;
    csv.Header(text);
    for (auto block = stream.Next(); !block.empty() && out; block = stream.Next()) {
        csv.Rows(block, text);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        text.clear();
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();

    if (!stream.Error().empty())
        return ReportReadFailure(err, options.File, ReadOf(stream));
    if (stream.TrailingBytes() != 0)
        return ReportFileTrouble(err, options.File,
                                 "ends with an unfinished record of " +
                                     std::to_string(stream.TrailingBytes()) + " bytes; the " +
                                     std::to_string(stream.Done()) + " whole records before it were written");
    return kExitOk;
}

int ExportSettings(const Options& options, archive::CsvForm form, std::ostream& out, std::ostream& err) {
    std::vector<archive::TUstRec> records(archive::kUstRecCount);
    const archive::RecordFileRead read = archive::ReadSnapshotFile(options.File, records);
    if (read.Records == 0)
        return ReportNoRecord(err, options.File, read, "settings", sizeof(archive::TUstRec));

    const std::vector<int> missing =
        archive::WriteSettingsCsv(out, std::span(records.data(), read.Records), options.Channels, form);

    if (!read.Error.empty())
        return ReportReadFailure(err, options.File, read);
    int status = kExitOk;
    if (!missing.empty())
        status = ReportFileTrouble(err, options.File,
                                   "holds " + std::to_string(read.Records) + " of the 72 channel records; " +
                                       (missing.size() == 1 ? "channel " : "channels ") +
                                       ChannelListText(missing) + " not in it and not written");
    if (read.MoreRecords != 0)
        return ReportFileTrouble(err, options.File,
                                 "holds " + std::to_string(read.MoreRecords) +
                                     " records past the 72 channels; they were not written");
    if (read.TrailingBytes != 0)
        return ReportFileTrouble(err, options.File,
                                 "ends with an unfinished record of " + std::to_string(read.TrailingBytes) +
                                     " bytes; the " + std::to_string(read.Records) +
                                     " whole records before it were written");
    return status;
}

// The journal's columns by their place in its lines.
enum JournalField : std::size_t {
    kTime,
    kKind,
    kChannel,
    kSection,
    kName,
    kPeak,
    kSeconds,
    kAlarm,
    kDetails
};

std::optional<double> JournalFigure(const std::vector<std::string>& fields, JournalField field) {
    return field < fields.size() ? common::ParseFloat(fields[field], ',') : std::nullopt;
}

// A journal that gives nothing to go by, in the words the reports use; nothing when it is one.
std::optional<int> ReportNoJournal(std::ostream& err, const std::string& file,
                                   const events::EventJournal::FileRead& read) {
    if (!read.Opened)
        return ReportFileTrouble(err, file, "cannot open: " + read.Error);
    if (!read.Header && !read.Error.empty())
        return ReportFileTrouble(err, file, "cannot read: " + read.Error);
    if (!read.Header)
        return ReportFileTrouble(err, file,
                                 std::string("not an event journal: its first line is not the header \"") +
                                     events::EventJournal::kHeader + '"');
    return std::nullopt;
}

// Trouble past the header: the lines before it were still used.
std::optional<int> ReportJournalTail(std::ostream& err, const std::string& file,
                                     const events::EventJournal::FileRead& read, const char* done) {
    const std::string before =
        "; the " + std::to_string(read.Lines.size()) + " whole lines before it were " + done;
    if (!read.Error.empty())
        return ReportFileTrouble(err, file, "read failed" + before + ": " + read.Error);
    if (read.TornBytes != 0)
        return ReportFileTrouble(
            err, file, "ends with a torn line of " + std::to_string(read.TornBytes) + " bytes" + before);
    return std::nullopt;
}

// "06.12.2026 14:03:07" -> "2026-12-06 14:03:07" for the plain form; anything else stays as it is.
std::string MachineTime(const std::string& text) {
    if (text.size() != 19 || text[2] != '.' || text[5] != '.' || text[10] != ' ')
        return text;
    return text.substr(6, 4) + '-' + text.substr(3, 2) + '-' + text.substr(0, 2) + text.substr(10);
}

// Line by line as the journal has it; only the time and the figures change with the form, so kinds,
// sections and details the tool does not know go out untouched.
int ExportEvents(const Options& options, archive::CsvForm form, std::ostream& out, std::ostream& err) {
    const events::EventJournal::FileRead read = events::EventJournal::ReadFile(options.File);
    if (const auto status = ReportNoJournal(err, options.File, read))
        return *status;
    archive::CsvRow row(form);
    row.StartFile(out);
    for (const char* title : {"time", "event", "channel", "section", "name", "peak_current",
                              "duration_seconds", "alarm", "details"})
        row.Field(title);
    row.WriteTo(out);
    for (const std::vector<std::string>& fields : read.Lines) {
        const auto text = [&](JournalField field) {
            return field < fields.size() ? fields[field] : std::string();
        };
        row.Field(form == archive::CsvForm::Plain ? MachineTime(text(kTime)) : text(kTime));
        for (const JournalField field : {kKind, kChannel, kSection, kName})
            row.Field(text(field));
        for (const JournalField field : {kPeak, kSeconds}) {
            if (const auto figure = JournalFigure(fields, field))
                row.Number(*figure);
            else
                row.Field(text(field));
        }
        row.Field(text(kAlarm));
        // A ';' a later version lets into the details must not lose what follows it.
        std::string details = text(kDetails);
        for (std::size_t i = kDetails + 1; i < fields.size(); ++i)
            details += ';' + fields[i];
        row.Field(details);
        row.WriteTo(out);
    }
    out.flush();
    return ReportJournalTail(err, options.File, read, "written").value_or(kExitOk);
}

// What the day's journal says of one motor; a figure without a line to take it from stays empty.
struct JournalMotor {
    int Starts = 0;
    int LongStarts = 0;
    int Overloads = 0;
    std::optional<double> StartPeak;
    std::optional<double> LongestStart;
    std::optional<double> LongestOverload;
};

std::array<JournalMotor, kChannels + 1> TallyJournal(const std::vector<std::vector<std::string>>& lines) {
    using events::EventKind;
    using events::EventKindText;
    // The journal leaves a figure of zero empty.
    const auto most = [](std::optional<double>& slot, std::optional<double> value) {
        slot = std::max(slot.value_or(0), value.value_or(0));
    };
    std::array<JournalMotor, kChannels + 1> motors{};
    for (const std::vector<std::string>& fields : lines) {
        std::string notChannel;
        const auto channel =
            fields.size() > kChannel ? ParseChannelNumber(fields[kChannel], notChannel) : std::nullopt;
        if (!channel)
            continue;
        JournalMotor& motor = motors[static_cast<std::size_t>(*channel)];
        const std::string& kind = fields[kKind];
        if (kind == EventKindText(EventKind::StartBegan)) {
            ++motor.Starts;
        } else if (kind == EventKindText(EventKind::StartEnded) ||
                   kind == EventKindText(EventKind::LongStart)) {
            most(motor.StartPeak, JournalFigure(fields, kPeak));
            most(motor.LongestStart, JournalFigure(fields, kSeconds));
            if (kind == EventKindText(EventKind::LongStart))
                ++motor.LongStarts;
        } else if (kind == EventKindText(EventKind::OverloadBegan)) {
            ++motor.Overloads;
        } else if (kind == EventKindText(EventKind::OverloadEnded)) {
            most(motor.LongestOverload, JournalFigure(fields, kSeconds));
        }
    }
    return motors;
}

// The summary's columns from the journal beside FILE: all empty without one.
monitor::MoreSummaryColumns JournalColumns(const std::array<JournalMotor, kChannels + 1>* motors) {
    monitor::MoreSummaryColumns columns;
    columns.Titles = {
        "journal_starts",      "journal_start_peak_current", "journal_longest_start_seconds",
        "journal_long_starts", "journal_overloads",          "journal_longest_overload_seconds"};
    columns.Fields = [motors](int channel, archive::CsvRow& row) {
        if (!motors) {
            for (int i = 0; i < 6; ++i)
                row.Field("");
            return;
        }
        const JournalMotor& motor = (*motors)[static_cast<std::size_t>(channel)];
        const auto figure = [&row](const std::optional<double>& value) {
            if (value)
                row.Number(*value);
            else
                row.Field("");
        };
        row.Field(std::to_string(motor.Starts));
        figure(motor.StartPeak);
        figure(motor.LongestStart);
        row.Field(std::to_string(motor.LongStarts));
        row.Field(std::to_string(motor.Overloads));
        figure(motor.LongestOverload);
    };
    return columns;
}

// Two passes over FILE, in bounded memory.
int ExportSummary(const Options& options, archive::CsvForm form, std::ostream& out, std::ostream& err,
                  const std::string& toolFolder) {
    archive::ReadingsStream stream(options.File);
    if (!stream.IsOpen() || !stream.Error().empty() || stream.Records() == 0)
        return ReportNoRecord(err, options.File, ReadOf(stream), "readings", sizeof(archive::TArhivRec));
    DaySources sources;
    if (const auto status = LoadDayMotors(options, toolFolder, err, sources))
        return *status;

    monitor::DaySummaries summaries;
    const bool read = monitor::SummarizeDay(
        [&](const auto& visit) {
            if (!stream.Rewind())
                return false;
            for (auto block = stream.Next(); !block.empty(); block = stream.Next())
                visit(block);
            return stream.Error().empty();
        },
        sources.Day.Motors, summaries);

    const std::string journalPath = DayFileBeside(options.File, ".events.csv");
    const bool journalThere = !journalPath.empty() && IsRegularFile(journalPath);
    events::EventJournal::FileRead journal;
    if (journalThere)
        journal = events::EventJournal::ReadFile(journalPath);
    const auto tally = TallyJournal(journal.Lines);
    const monitor::MoreSummaryColumns columns = JournalColumns(journal.Header ? &tally : nullptr);
    monitor::WriteDaySummaryCsv(out, summaries, sources.Day, form, &columns);

    const std::string others = !sources.SettingsPath.empty()
                                   ? "the thresholds of " + sources.SettingsPath
                                   : "the program's default thresholds (no settings file given or found)";
    const archive::RecordFileRead& snapshotRead = sources.SnapshotRead;
    if (snapshotRead.Records == 0)
        err << kTool << options.File << ": no snapshot of the day"
            << (sources.SnapshotPath.empty() ? "" : " (" + sources.SnapshotPath + ")") << "; summed up with "
            << others << '\n';
    if (!journalThere)
        err << kTool << options.File << ": no event journal of the day"
            << (journalPath.empty() ? "" : " (" + journalPath + ")") << "; its columns are left empty\n";
    std::optional<int> journalStatus;
    if (journalThere)
        journalStatus = ReportNoJournal(err, journalPath, journal);
    if (journalThere && !journalStatus)
        journalStatus = ReportJournalTail(err, journalPath, journal, "counted");
    if (!read)
        return ReportReadFailure(err, options.File, ReadOf(stream));
    if (!snapshotRead.Error.empty())
        return ReportReadFailure(err, sources.SnapshotPath, snapshotRead);
    if (stream.TrailingBytes() != 0)
        return ReportFileTrouble(
            err, options.File,
            "ends with an unfinished record of " + std::to_string(stream.TrailingBytes()) + " bytes; the " +
                std::to_string(stream.Records()) + " whole records before it were summed up");
    if (snapshotRead.Records > 0 && snapshotRead.Records < archive::kUstRecCount)
        return ReportFileTrouble(err, sources.SnapshotPath,
                                 "holds " + std::to_string(snapshotRead.Records) +
                                     " of the 72 channel records; the others were summed up with " + others);
    return journalStatus.value_or(kExitOk);
}

} // namespace

std::optional<std::vector<int>> ParseChannelList(std::string_view text, std::string& error) {
    std::vector<int> channels;
    std::vector<bool> seen(kChannels + 1, false);
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = TrimBlanks(text.substr(0, comma));
        int first = 0;
        int last = 0;
        const std::size_t dash = item.find('-');
        if (dash == std::string_view::npos) {
            const auto n = ParseChannelNumber(item, error);
            if (!n)
                return std::nullopt;
            first = last = *n;
        } else {
            const std::string_view left = TrimBlanks(item.substr(0, dash));
            const std::string_view right = TrimBlanks(item.substr(dash + 1));
            if (left.empty() || right.empty()) {
                error = "--channels: \"" + std::string(item) +
                        "\" is not a channel number or a range such as 13-24";
                return std::nullopt;
            }
            const auto a = ParseChannelNumber(left, error);
            const auto b = a ? ParseChannelNumber(right, error) : std::nullopt;
            if (!a || !b)
                return std::nullopt;
            if (*a > *b) {
                error = "--channels: range " + std::string(item) + " runs backwards; write " +
                        std::to_string(*b) + "-" + std::to_string(*a);
                return std::nullopt;
            }
            first = *a;
            last = *b;
        }
        for (int n = first; n <= last; ++n) {
            if (seen[static_cast<std::size_t>(n)]) {
                error = "--channels: channel " + std::to_string(n) + " is listed twice";
                return std::nullopt;
            }
            seen[static_cast<std::size_t>(n)] = true;
            channels.push_back(n);
        }
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return channels;
}

std::string HelpText() {
    return "Usage: registrator-archive readings FILE [--channels LIST] [--excel]\n"
           "       registrator-archive settings FILE [--channels LIST] [--excel]\n"
           "       registrator-archive summary FILE [SNAPSHOT] [--settings INI] [--excel]\n"
           "       registrator-archive events JOURNAL [--excel]\n"
           "\n"
           "Writes one archive file of the recorder as CSV to standard output.\n"
           "\n"
           "  readings FILE   a day's readings file (Data/dd.mm.yyyy.txt, 584-byte records): a header row\n"
           "                  \"time,ch1,...,ch72\", then one row per record with its time of day as\n"
           "                  HH:MM:SS.mmm (HH:MM:SS,mmm with --excel) and the channels' currents in "
           "amperes.\n"
           "  settings FILE   a day's settings snapshot (Data/dd.mm.yyyy"
           "UST.txt, 80-byte records): a header\n"
           "                  row, then one row per channel: channel, name (UTF-8), nominal current (A),\n"
           "                  critical current (A), power (kW).\n"
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
           "                  (the dd.mm.yyyy.events.csv beside FILE); empty without one.\n"
           "  events JOURNAL  a day's event journal (Data/dd.mm.yyyy.events.csv): a header row, then its\n"
           "                  lines: time (yyyy-mm-dd HH:MM:SS, with --excel dd.mm.yyyy HH:MM:SS as the\n"
           "                  journal has it), event, channel, section, name, peak current (A),\n"
           "                  duration (s), alarm (\"да\") and details, the texts as the journal has\n"
           "                  them.\n"
           "\n"
           "Options:\n"
           "  --channels LIST  only these channels, in the order given: numbers 1-72 and ranges,\n"
           "                   for example 1,5,13-24. A channel may appear once. Not for summary or\n"
           "                   events.\n"
           "  --settings INI   summary only: the present settings file (the switch-off currents, and\n"
           "                   the thresholds of motors the day's snapshot does not hold).\n"
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
           "torn line; 2 when the command line is wrong. Every problem is described on standard error.\n";
}

int RunArchiveTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const std::string& toolFolder) {
    Options options;
    std::string error;
    if (!ParseArguments(args, options, error)) {
        err << kTool << error << "\nTry 'registrator-archive --help'.\n";
        return kExitBadUsage;
    }
    if (options.Help) {
        out << HelpText();
        return kExitOk;
    }
    const archive::CsvForm form = options.Excel ? archive::CsvForm::Spreadsheet : archive::CsvForm::Plain;
    if (options.Command == "summary")
        return ExportSummary(options, form, out, err, toolFolder);
    if (options.Command == "events")
        return ExportEvents(options, form, out, err);
    return options.Command == "readings" ? ExportReadings(options, form, out, err, toolFolder)
                                         : ExportSettings(options, form, out, err);
}

} // namespace registrator::tools
