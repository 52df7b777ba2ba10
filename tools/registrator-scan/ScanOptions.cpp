#include "ScanOptions.h"

#include <charconv>

namespace registrator::tools {

namespace {

std::optional<long> WholeNumber(const std::string& text, long low, long high) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<ScanOptions> ParseScanOptions(const std::vector<std::string>& args, std::string& error) {
    ScanOptions options;
    bool portGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };

        if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg == "--simulate") {
            options.Simulate = true;
        } else if (arg == "--watch") {
            options.Watch = true;
        } else if (arg == "--csv") {
            options.Csv = true;
        } else if (arg == "--port") {
            if (!takeValue())
                return std::nullopt;
            if (value.empty()) {
                error = "--port needs a device, for example --port /dev/parport0";
                return std::nullopt;
            }
            options.Device = value;
            portGiven = true;
        } else if (arg == "--avg") {
            if (!takeValue())
                return std::nullopt;
            const auto avg = WholeNumber(value, 1, 255);
            if (!avg) {
                error = "--avg takes a number of scans from 1 to 255, not \"" + value + "\"";
                return std::nullopt;
            }
            options.Avg = static_cast<int>(*avg);
        } else if (arg == "--settings") {
            if (!takeValue())
                return std::nullopt;
            options.SettingsPath = value;
        } else if (arg == "--rounds") {
            if (!takeValue())
                return std::nullopt;
            const auto rounds = WholeNumber(value, 1, 1'000'000'000);
            if (!rounds) {
                error = "--rounds takes a positive number, not \"" + value + "\"";
                return std::nullopt;
            }
            options.Rounds = *rounds;
        } else {
            error = "unknown argument: " + args[i];
            return std::nullopt;
        }
    }
    // Real and made-up counts must never be confused while commissioning.
    if (options.Simulate && portGiven) {
        error = "--simulate and --port exclude each other";
        return std::nullopt;
    }
    return options;
}

std::string ScanHelpText() {
    return "Usage: registrator-scan [--port DEVICE | --simulate] [--avg N] [--settings FILE]\n"
           "                        [--watch] [--csv] [--rounds N]\n"
           "\n"
           "Reads the 72 converters once through the parallel port as Registrator does and prints\n"
           "the averaged raw counts (0 to 1023), six sections by twelve motors.\n"
           "\n"
           "  --port DEVICE    the ppdev device of the port (default /dev/parport0); when it cannot\n"
           "                   be opened, direct port I/O at 0x378 if the process is allowed it\n"
           "  --simulate       read the simulated plant instead of the port\n"
           "  --avg N          scans averaged into one reading, 1 to 255 (default 5)\n"
           "  --settings FILE  the program's settings file (Registrator.INI): also print amperes\n"
           "  --watch          refresh every second until Ctrl+C\n"
           "  --csv            one line per round (time, 72 counts, then 72 amperes with --settings)\n"
           "  --rounds N       stop after N rounds\n"
           "  --help           show this text\n"
           "\n"
           "Channel n is motor ((n - 1) mod 12) + 1 of section ((n - 1) div 12) + 1.\n"
           "Exit codes: 0 done, 1 the port cannot be opened, 2 bad command line, 3 unreadable\n"
           "settings file.\n";
}

} // namespace registrator::tools
