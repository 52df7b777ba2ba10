#include "ScanTool.h"

#include "acquisition/SimulatedPort.h"
#include "channels/SettingsFile.h"
#include "monitor/ScanCycle.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <sstream>

#if defined(__linux__)
#include "acquisition/LinuxLptPortConnection.h"

#include <cerrno>
#include <cstring>
#endif

namespace registrator::tools {
namespace {

constexpr double kStart = 46000.25; // a morning, so the plant's sections are at work

struct ToolRun {
    int Status = -1;
    std::string Out;
    std::string Err;
    int Waits = 0;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

class ScanToolTest : public ::testing::Test {
protected:
    ScanToolTest() {
        for (int channel = 1; channel <= channels::kChannelCount; ++channel) {
            channels::TUstavka& u = ustavki_[channel];
            u = channels::DefaultUstavka(channel);
            u.Koof_K = 0.5;
            u.Koof_B = 2;
            u.T_Nom = 100 + channel;
            u.T_Max = 150 + channel;
        }
        channels::SettingsFile(settingsPath_, common::RegionalSettings::Russian()).SaveAll(ustavki_);
    }

    ToolRun Run(const std::vector<std::string>& args, int stopAfterWaits = -1) {
        ToolRun run;
        std::ostringstream out;
        std::ostringstream err;
        ScanEnvironment env(clock_);
        if (makePort_)
            env.MakePort = makePort_;
        env.WaitForNextRound = [&] {
            ++run.Waits;
            clock_.AdvanceMs(1000);
        };
        env.StopRequested = [&] { return stopAfterWaits >= 0 && run.Waits >= stopAfterWaits; };
        run.Status = RunScanTool(args, out, err, env);
        run.Out = out.str();
        run.Err = err.str();
        return run;
    }

    support::TempFolder folder_;
    const std::string settingsPath_ = folder_.File("Registrator.INI");
    channels::UstavkiTable ustavki_;
    common::SettableClock clock_{kStart};
    decltype(ScanEnvironment::MakePort) makePort_;
};

// The counts and amperes are those the program's own scan cycle gets from the same plant at the
// same moments, and they move from one round to the next.
TEST_F(ScanToolTest, CsvRoundsMatchTheProgramsScanCycle) {
    const ToolRun run =
        Run({"--simulate", "--settings", settingsPath_, "--csv", "--rounds", "3", "--avg", "4"});
    ASSERT_EQ(run.Status, kScanExitOk) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Waits, 2);
    std::vector<std::string> lines = Split(run.Out, '\n');
    ASSERT_EQ(lines.size(), 5u); // header, three rounds, the empty rest after the last line end
    EXPECT_EQ(lines.back(), "");
    const std::vector<std::string> header = Split(lines[0], ',');
    ASSERT_EQ(header.size(), 1u + 72 + 72);
    EXPECT_EQ(header[1], "count1");
    EXPECT_EQ(header[144], "amps72");

    common::SettableClock programClock(kStart);
    acquisition::SimulatedPort port(ustavki_, programClock, 1);
    acquisition::ScanProtocol protocol(port);
    protocol.ResetState();
    protocol.WritePpiMode(acquisition::kPpiModeWord);
    auto data = std::make_unique<channels::ChannelData>();
    data->Ustavki = ustavki_;
    data->AvgCount = 4;
    struct NoBoxes final : common::OperatorMessages {
        void Show(const std::string& text) override { ADD_FAILURE() << text; }
    } boxes;

    std::vector<std::vector<std::string>> rounds;
    for (int round = 1; round <= 3; ++round) {
        rounds.push_back(Split(lines[static_cast<std::size_t>(round)], ','));
        const std::vector<std::string>& fields = rounds.back();
        ASSERT_EQ(fields.size(), header.size());
        EXPECT_EQ(fields[0].substr(0, 11), "2025-12-09 ") << fields[0];
        ASSERT_TRUE(monitor::RunScanCycle(protocol, *data, programClock, boxes, {}));
        for (int channel = 1; channel <= 72; ++channel) {
            const int count = std::stoi(fields[static_cast<std::size_t>(channel)]);
            EXPECT_GE(count, 0);
            EXPECT_LE(count, 1023);
            EXPECT_EQ(fields[static_cast<std::size_t>(72 + channel)],
                      std::to_string(static_cast<long long>(data->Current(channel).Value)))
                << "round " << round << " channel " << channel;
        }
        programClock.AdvanceMs(1000);
    }
    int changed = 0;
    for (std::size_t i = 1; i <= 72; ++i)
        changed += rounds[0][i] != rounds[2][i];
    EXPECT_GT(changed, 10) << "the simulated counts should move between rounds";
}

// The table a technician reads: six sections by twelve motors, counts and amperes, within 80
// columns; --watch redraws it in place until Ctrl+C.
TEST_F(ScanToolTest, WatchRedrawsTheTableInPlaceUntilStopped) {
    const ToolRun run = Run({"--simulate", "--watch", "--settings", settingsPath_}, 2);
    ASSERT_EQ(run.Status, kScanExitOk) << run.Err;
    EXPECT_EQ(run.Waits, 2);
    const std::vector<std::string> frames = Split(run.Out, '\x1b');
    std::size_t homes = 0;
    for (const std::string& piece : frames)
        homes += piece.starts_with("[H");
    EXPECT_EQ(homes, 1u + 2u); // clearing the screen, then two rounds: Ctrl+C came in the second wait

    const std::string lastFrame = run.Out.substr(run.Out.rfind("\x1b[H") + 3);
    for (int section = 1; section <= 6; ++section)
        EXPECT_NE(lastFrame.find(std::string(channels::SectionName(section))), std::string::npos);
    int countRows = 0;
    int ampereRows = 0;
    for (std::string line : Split(lastFrame, '\n')) {
        if (const std::size_t escape = line.find('\x1b'); escape != std::string::npos)
            line.resize(escape);
        std::size_t columns = 0;
        for (const char c : line)
            columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        EXPECT_LE(columns, 80u) << line;
        std::istringstream cells(line);
        std::string label;
        cells >> label;
        int value = 0;
        int values = 0;
        while (cells >> value)
            ++values;
        if (label == "count" || label == "A") {
            EXPECT_EQ(values, 12) << line;
            (label == "count" ? countRows : ampereRows)++;
        }
    }
    EXPECT_EQ(countRows, 6);
    EXPECT_EQ(ampereRows, 6);

    const ToolRun once = Run({"--simulate"});
    EXPECT_EQ(once.Status, kScanExitOk);
    EXPECT_EQ(once.Waits, 0);
    EXPECT_EQ(once.Out.find('\x1b'), std::string::npos);
    EXPECT_EQ(once.Out.find("\n  A "), std::string::npos) << "no amperes without settings";
}

TEST_F(ScanToolTest, RefusesWhatItCannotDoWithoutTouchingThePort) {
    bool portMade = false;
    makePort_ = [&](const acquisition::PortOptions& options, const channels::UstavkiTable& u,
                    const common::Clock& c) {
        portMade = true;
        return acquisition::MakePort(options, u, c);
    };
    EXPECT_EQ(Run({"--simulate", "--port", "/dev/parport0"}).Status, kScanExitBadUsage);
    EXPECT_EQ(Run({"--simulate", "--avg", "0"}).Status, kScanExitBadUsage);
    EXPECT_EQ(Run({"--simulate", "--avg", "256"}).Status, kScanExitBadUsage);
    EXPECT_EQ(Run({"--port"}).Status, kScanExitBadUsage);
    const ToolRun missing = Run({"--simulate", "--settings", folder_.File("none.INI")});
    EXPECT_EQ(missing.Status, kScanExitBadSettings);
    EXPECT_NE(missing.Err.find("none.INI"), std::string::npos);
    EXPECT_FALSE(portMade);
}

#if defined(__linux__)
// Linux as the port connection sees it: a device that fails to open or claim, and port I/O that
// may or may not be granted.
class ScriptedLinux final : public acquisition::LinuxPortSystem {
public:
    int OpenErrno = 0;
    int ClaimErrno = 0;
    bool IoPermitted = false;

    int Open(const std::string&) override {
        errno_ = OpenErrno;
        return OpenErrno == 0 ? 5 : -1;
    }
    void Close(int) override {}
    bool Ioctl(int, acquisition::PpdevRequest request, std::uint8_t&) override {
        if (request == acquisition::PpdevRequest::Claim && ClaimErrno != 0) {
            errno_ = ClaimErrno;
            return false;
        }
        return true;
    }
    bool GrantPortAccess(std::uint16_t, std::uint16_t) override {
        if (!IoPermitted)
            errno_ = EPERM;
        return IoPermitted;
    }
    void PortOut(std::uint16_t, std::uint8_t) override {}
    std::uint8_t PortIn(std::uint16_t) override { return 0xFF; } // an empty bus
    int Errno() const override { return errno_; }

private:
    int errno_ = 0;
};

TEST_F(ScanToolTest, PortThatCannotBeOpenedIsNamedWithTheReasonAndWhatToCheck) {
    struct Case {
        int OpenErrno;
        int ClaimErrno;
        std::string Advice;
    };
    const Case cases[] = {{ENOENT, 0, "modprobe ppdev"},
                          {EACCES, 0, "usermod -aG lp"},
                          {0, EBUSY, "rmmod lp"},
                          {0, ENOTTY, "not a parallel port"}};
    for (const Case& c : cases) {
        ScriptedLinux system;
        system.OpenErrno = c.OpenErrno;
        system.ClaimErrno = c.ClaimErrno;
        std::string device;
        makePort_ = [&](const acquisition::PortOptions& options, const channels::UstavkiTable&,
                        const common::Clock&) -> std::unique_ptr<acquisition::PortAccess> {
            device = options.Device;
            return std::make_unique<acquisition::LinuxLptPortConnection>(system, options.Device);
        };
        const int code = c.OpenErrno != 0 ? c.OpenErrno : c.ClaimErrno;
        const ToolRun run = Run({"--port", "/dev/parport1", "--watch"});
        EXPECT_EQ(run.Status, kScanExitNoPort);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Waits, 0);
        EXPECT_EQ(device, "/dev/parport1");
        EXPECT_NE(run.Err.find("/dev/parport1: " + std::string(std::strerror(code)) + " (error " +
                               std::to_string(code) + ")"),
                  std::string::npos)
            << run.Err;
        EXPECT_NE(run.Err.find(c.Advice), std::string::npos) << run.Err;
    }
}

// The program falls back to port instructions when the device cannot be had; the technician must
// then learn that no port answers there rather than read an empty bus as 72 converters.
TEST_F(ScanToolTest, DirectFallbackOnAnEmptyBusSaysSo) {
    ScriptedLinux system;
    system.OpenErrno = ENOENT;
    system.IoPermitted = true;
    makePort_ = [&](const acquisition::PortOptions& options, const channels::UstavkiTable&,
                    const common::Clock&) -> std::unique_ptr<acquisition::PortAccess> {
        return std::make_unique<acquisition::LinuxLptPortConnection>(system, options.Device);
    };
    const ToolRun run = Run({});
    EXPECT_EQ(run.Status, kScanExitOk);
    EXPECT_NE(run.Out.find("direct port I/O at 0x378 (/dev/parport0 could not be opened); NO PORT ANSWERS"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("1023  1023"), std::string::npos) << "an empty bus reads all ones";
}
#endif

} // namespace
} // namespace registrator::tools
