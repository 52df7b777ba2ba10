#include "ArchiveExport.h"
#include "ToolCommand.h"
#include "archive/CsvExport.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace registrator::tools {

namespace {

constexpr int kChannels = 72;

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

// "--settings applies to summary and trend only": the commands that take it, by name.
std::string OnlyFor(const std::string& options, bool ToolCommand::*takes) {
    std::vector<std::string> names;
    for (const ToolCommand& command : ToolCommands())
        if (command.*takes)
            names.emplace_back(command.Name);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return options + " to " + text + " only";
}

bool IsTimeOfDayText(std::string_view text) {
    return text.size() == 5 && text[2] == ':' &&
           std::all_of(text.begin(), text.end(), [](char c) { return c == ':' || (c >= '0' && c <= '9'); });
}

// "06.12.2026" or "06.12.2026 10:30": that moment; a date alone stands for its start, or with `end`
// for the start of the next day.
std::optional<common::TDateTime> ParseMoment(const std::string& option, std::string_view text, bool end,
                                             std::string& error) {
    text = TrimBlanks(text);
    const std::size_t blank = text.find(' ');
    const std::string_view time = blank == std::string_view::npos ? "" : TrimBlanks(text.substr(blank));
    const auto day = common::ArchiveDateValue(text.substr(0, blank));
    const int hour = IsTimeOfDayText(time) ? (time[0] - '0') * 10 + time[1] - '0' : -1;
    const int minute = IsTimeOfDayText(time) ? (time[3] - '0') * 10 + time[4] - '0' : -1;
    if (!day || (!time.empty() && (hour < 0 || hour > 23 || minute > 59))) {
        error =
            option + ": \"" + std::string(text) + "\" is not a date DD.MM.YYYY with an optional time HH:MM";
        return std::nullopt;
    }
    if (time.empty())
        return *day + (end ? 1 : 0);
    return *day + common::EncodeTime(hour, minute, 0, 0);
}

} // namespace

bool ParseArguments(const std::vector<std::string>& args, ToolOptions& options, std::string& error) {
    if (const ToolCommand* own = args.empty() ? nullptr : FindToolCommand(args[0]);
        own && own->OwnArguments) {
        options.Command = args[0];
        options.Arguments.assign(args.begin() + 1, args.end());
        return true;
    }
    std::vector<std::string> positional;
    std::optional<std::string> channels;
    std::optional<std::string> from;
    std::optional<std::string> to;
    bool minute = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg == "--excel") {
            options.Excel = true;
        } else if (arg == "--minute" || arg == "--records") {
            (arg == "--minute" ? minute : options.PerRecord) = true;
        } else if (arg == "--from" || arg == "--to") {
            if (i + 1 == args.size()) {
                error = arg + " needs a date, for example " + arg + " 06.12.2026 or " + arg +
                        " \"06.12.2026 08:00\"";
                return false;
            }
            std::string moment = args[++i];
            // The time of day may come as an argument of its own.
            if (i + 1 < args.size() && IsTimeOfDayText(args[i + 1]))
                moment += " " + args[++i];
            (arg == "--from" ? from : to) = moment;
        } else if (arg.rfind("--from=", 0) == 0) {
            from = arg.substr(7);
        } else if (arg.rfind("--to=", 0) == 0) {
            to = arg.substr(5);
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
    const ToolCommand* command = FindToolCommand(options.Command);
    if (!command) {
        error = "unknown command \"" + options.Command + "\"";
        return false;
    }
    if (positional.size() < 2 && !command->FileOptional) {
        error = command->NoFile;
        return false;
    }
    const std::size_t most = 2 + command->MostArguments;
    if (positional.size() > most) {
        error = "unexpected argument \"" + positional[most] + "\"";
        return false;
    }
    if (positional.size() >= 2)
        options.File = positional[1];
    if (positional.size() > 2)
        options.Arguments.assign(positional.begin() + 2, positional.end());
    if (command->NoChannels && channels) {
        error = command->NoChannels;
        return false;
    }
    if (command->NoExcel && options.Excel) {
        error = command->NoExcel;
        return false;
    }
    if (!command->TakesSettings && !options.Settings.empty()) {
        error = OnlyFor("--settings applies", &ToolCommand::TakesSettings);
        return false;
    }
    if (!command->TakesPeriod && (from || to || minute || options.PerRecord)) {
        error = OnlyFor("--from, --to, --minute and --records apply", &ToolCommand::TakesPeriod);
        return false;
    }
    if (command->TakesPeriod) {
        if (minute && options.PerRecord) {
            error = "--minute and --records exclude each other";
            return false;
        }
        if (!from || !to) {
            error = options.Command + " needs --from and --to, for example --from 01.12.2026 --to 31.12.2026";
            return false;
        }
        options.From = ParseMoment("--from", *from, false, error);
        options.To = options.From ? ParseMoment("--to", *to, true, error) : std::nullopt;
        if (!options.To)
            return false;
        if (*options.To <= *options.From) {
            error = "--to must come after --from";
            return false;
        }
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

} // namespace registrator::tools
