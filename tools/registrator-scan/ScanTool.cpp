#include "ScanTool.h"

#include "PortAdvice.h"
#include "ScanOptions.h"
#include "ScanReport.h"
#include "acquisition/Averaging.h"
#include "acquisition/ScanProtocol.h"
#include "channels/SettingsFile.h"

#if defined(__linux__)
#include "acquisition/LinuxLptPortConnection.h"
#endif

namespace registrator::tools {

namespace {

constexpr const char* kTool = "registrator-scan: ";
// Home, then every line cleared to its end, then the rest of the screen.
constexpr const char* kClearScreen = "\x1b[2J\x1b[H";
constexpr const char* kHome = "\x1b[H";
constexpr const char* kClearToEndOfScreen = "\x1b[J";

// The averaging only speaks to the operator when asked for 0 scans, which the options rule out.
class ErrorStreamMessages final : public common::OperatorMessages {
public:
    explicit ErrorStreamMessages(std::ostream& err) : err_(err) {}
    void Show(const std::string& text) override { err_ << kTool << text << '\n'; }

private:
    std::ostream& err_;
};

std::string DeviceShown(const ScanOptions& options) {
    if (!options.Device.empty())
        return options.Device;
#if defined(__linux__)
    return acquisition::kDefaultParportDevice;
#else
    return "0x378";
#endif
}

std::string InPlace(const std::string& table) {
    std::string text;
    std::size_t start = 0;
    for (std::size_t end; (end = table.find('\n', start)) != std::string::npos; start = end + 1)
        text += table.substr(start, end - start) + "\x1b[K\n";
    return text;
}

// One round as the program's scan cycle makes it: the mode word, then the averaged counts; the
// amperes from the same core conversion, kept beside the raw counts instead of replacing them.
ScanRound ReadRound(acquisition::ScanProtocol& protocol, channels::ChannelData& data, int avg,
                    const common::Clock& clock, common::OperatorMessages& messages, bool withAmperes) {
    protocol.WritePpiMode(acquisition::kPpiModeWord);
    acquisition::AverageScans(protocol, data, static_cast<std::uint8_t>(avg), clock, messages, {});
    ScanRound round;
    round.Time = clock.Now();
    if (withAmperes)
        round.Amperes.emplace();
    for (int channel = 1; channel <= kScanChannels; ++channel) {
        const auto i = static_cast<std::size_t>(channel - 1);
        const double count = data.Current(channel).Value;
        round.Counts[i] = static_cast<int>(count);
        if (withAmperes)
            (*round.Amperes)[i] = acquisition::ConvertCount(count, data.Ustavki[channel]);
    }
    return round;
}

} // namespace

int RunScanTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                ScanEnvironment& env) {
    std::string error;
    const std::optional<ScanOptions> parsed = ParseScanOptions(args, error);
    if (!parsed) {
        err << kTool << error << "\n\n" << ScanHelpText();
        return kScanExitBadUsage;
    }
    const ScanOptions& options = *parsed;
    if (options.Help) {
        out << ScanHelpText();
        return kScanExitOk;
    }

    auto data = std::make_unique<channels::ChannelData>();
    const bool withAmperes = !options.SettingsPath.empty();
    if (withAmperes) {
        // The program takes defaults for a missing or unreadable file; a technician who names one means it.
        if (channels::SettingsFile(options.SettingsPath, common::RegionalSettings::Russian())
                .LoadAll(data->Ustavki) != channels::SettingsLoad::Read) {
            err << kTool << "cannot read the settings file " << options.SettingsPath << '\n';
            return kScanExitBadSettings;
        }
    } else {
        for (int channel = 1; channel <= kScanChannels; ++channel)
            data->Ustavki[channel] = channels::DefaultUstavka(channel);
    }

    acquisition::PortOptions portOptions;
    portOptions.Simulate = options.Simulate;
    portOptions.Device = options.Device;
    portOptions.ProgramFolder = env.ProgramFolder;
    std::unique_ptr<acquisition::PortAccess> port = env.MakePort(portOptions, data->Ustavki, env.Clock);
    if (!port || !port->IsReady()) {
        err << PortFailureText(DeviceShown(options), port ? port->LastError() : 0);
        return kScanExitNoPort;
    }

    acquisition::ScanProtocol protocol(*port);
    protocol.ResetState();
    protocol.WritePpiMode(acquisition::kPpiModeWord);
    ErrorStreamMessages messages(err);
    const std::string source = DescribePort(*port, DeviceShown(options));
    const bool inPlace = options.Watch && !options.Csv && env.Terminal;

    if (options.Csv)
        out << CsvHeader(withAmperes);
    if (inPlace)
        out << kClearScreen;
    for (long round = 1;; ++round) {
        const ScanRound result = ReadRound(protocol, *data, options.Avg, env.Clock, messages, withAmperes);
        if (options.Csv)
            out << CsvLine(result);
        else if (inPlace)
            out << kHome << InPlace(RoundTable(result, source, options.Avg) + "Ctrl+C ends the watch.\n")
                << kClearToEndOfScreen;
        else
            out << (round > 1 ? "\n" : "") << RoundTable(result, source, options.Avg);
        out.flush();

        const bool more = options.Rounds > 0 ? round < options.Rounds : options.Watch;
        if (!more || env.StopRequested())
            break;
        env.WaitForNextRound();
        if (env.StopRequested())
            break;
    }
    return kScanExitOk;
}

} // namespace registrator::tools
