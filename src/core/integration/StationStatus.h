#pragma once

#include "common/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace registrator::acquisition {
class PortAccess;
}
namespace registrator::archive {
struct AppendStatus;
}
namespace registrator::channels {
struct ChannelData;
}
namespace registrator::events {
class ActiveAlarms;
}

namespace registrator::integration {

// The port as the outlets give it: Modbus and Prometheus by number, /health by word.
enum class PortState : std::uint16_t { Open = 0, Simulated = 1, NotReady = 2 };

// The broker as the MQTT publisher last saw it.
struct BrokerStatus {
    bool Connected = false;
    std::string Problem;            // why not connected, in the operator's words ("" when connected)
    std::uint64_t Waiting = 0;      // records in the day files after the last acknowledged one
    std::uint64_t Acknowledged = 0; // records the broker acknowledged since start (not journal lines)
};

// How the station stands at one moment, gathered once and given alike to every outlet: /health,
// the Modbus status registers, the Prometheus metrics, the MQTT status message and the status strip.
struct StationStatus {
    std::uint64_t RecordsToday = 0;   // in today's readings file
    std::uint32_t LastRecordUnix = 0; // 0 before the first record
    bool Appended = false;            // an append has been tried since start
    std::uint64_t FailedAppends = 0;  // since the last good one
    std::uint32_t ScanCycles = 0;     // rises with every scan cycle, wrapping
    PortState Port = PortState::NotReady;
    int AvgCount = 0;
    int FastMs = 0;
    int SlowMs = 0;
    std::uint64_t Messages = 0; // boxes raised since start
    std::string LastMessage;    // the last box's text, UTF-8
    int ActiveAlarms = 0;       // alarms whose condition still holds
    int UnacknowledgedAlarms = 0;
    int ModbusClients = 0;
    bool ModbusServing = false;         // the Modbus server listens
    bool ModbusAllowList = false;       // for --modbus-allow's addresses only
    std::uint64_t ModbusRefused = 0;    // connections closed since start: their address is not allowed
    std::optional<BrokerStatus> Broker; // none without MQTT
};

// Today's records as the archive counts them: none before today's first append.
std::uint64_t RecordsToday(const archive::AppendStatus& appends, common::TDateTime today);

// What the core's own parts say of the station: the archive's appends as of `today`, the port, the
// averaging and the alarms. The station adds what its other parts know (the scan cycles, the timers,
// the boxes, the servers).
StationStatus StatusOfParts(const archive::AppendStatus& appends, common::TDateTime today,
                            const acquisition::PortAccess& port, const channels::ChannelData& data,
                            const events::ActiveAlarms& alarms);

// /health's figures of the station, one JSON object: the port, the archive, the boxes, the alarms
// and, with Modbus and MQTT, the server and the broker.
std::string HealthJson(const StationStatus& status);

// The retained status a connection starts with: online, with the version and the settings in force.
std::string OnlineStatusJson(std::string_view station, std::string_view version, const StationStatus& status);
// The connection's will, and what an orderly end publishes.
std::string OfflineStatusJson(std::string_view station);

// The broker line of the status strip, UTF-8.
std::string BrokerLine(const BrokerStatus& broker);

} // namespace registrator::integration
