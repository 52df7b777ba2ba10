#include "acquisition/PortFactory.h"

#include "acquisition/ScanProtocol.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace registrator::acquisition {
namespace {

TEST(MakePort, SimulationIsAskedForAndSaysSo) {
    channels::UstavkiTable ustavki;
    for (int channel = 1; channel <= channels::kChannelCount; ++channel)
        ustavki[channel] = channels::DefaultUstavka(channel);
    common::SettableClock clock(45000.5);
    PortOptions options;
    options.Simulate = true;
    const auto port = MakePort(options, ustavki, clock);
    ASSERT_TRUE(port);
    EXPECT_TRUE(port->IsReady());
    EXPECT_EQ(0u, port->LastError());
    EXPECT_FALSE(port->SimulationNote().empty());

    ScanProtocol protocol(*port);
    protocol.ResetState();
    protocol.WritePpiMode(kPpiModeWord);
    protocol.ScanConverters();
    for (const std::int32_t count : protocol.ScanResult) {
        EXPECT_GE(count, 0);
        EXPECT_LE(count, 1023);
    }
}

// The machine's real port: whatever this machine has, an unavailable port must say why, and a
// real port never calls itself simulated.
TEST(MakePort, TheRealPortIsNeverSimulated) {
    channels::UstavkiTable ustavki;
    common::SettableClock clock;
    PortOptions options;
    options.Device = "/nonexistent-registrator-dir/parport0";
    const auto port = MakePort(options, ustavki, clock);
    ASSERT_TRUE(port);
    EXPECT_TRUE(port->SimulationNote().empty());
    if (!port->IsReady()) {
        EXPECT_NE(0u, port->LastError());
        EXPECT_EQ(0, port->ReadRegister(kPort2, kStatusRegister));
#ifdef __linux__
        EXPECT_EQ(static_cast<std::uint32_t>(ENOENT), port->LastError());
#endif
    }
}

} // namespace
} // namespace registrator::acquisition
