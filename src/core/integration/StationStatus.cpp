#include "integration/StationStatus.h"

#include "acquisition/PortAccess.h"
#include "archive/Archive.h"
#include "channels/ChannelData.h"
#include "events/ActiveAlarms.h"
#include "integration/MqttMessages.h"

namespace registrator::integration {

namespace {

const char* PortWord(PortState port) {
    switch (port) {
    case PortState::Open:
        return "open";
    case PortState::Simulated:
        return "simulated";
    case PortState::NotReady:
        break;
    }
    return "closed";
}

const char* Bool(bool value) {
    return value ? "true" : "false";
}

} // namespace

std::uint64_t RecordsToday(const archive::AppendStatus& appends, common::TDateTime today) {
    return appends.Day != 0 && appends.Day == today ? appends.RecordsToday : 0;
}

StationStatus StatusOfParts(const archive::AppendStatus& appends, common::TDateTime today,
                            const acquisition::PortAccess& port, const channels::ChannelData& data,
                            const events::ActiveAlarms& alarms) {
    StationStatus status;
    status.RecordsToday = RecordsToday(appends, today);
    status.Appended = appends.Day != 0;
    status.FailedAppends = appends.Failures;
    status.Port = !port.SimulationNote().empty() ? PortState::Simulated
                  : port.IsReady()               ? PortState::Open
                                                 : PortState::NotReady;
    status.AvgCount = data.AvgCount;
    status.ActiveAlarms = alarms.ActiveCount();
    status.UnacknowledgedAlarms = alarms.UnacknowledgedCount();
    return status;
}

std::string HealthJson(const StationStatus& status) {
    std::string out = "{\"port\":\"";
    out += PortWord(status.Port);
    out += "\",\"recordsToday\":" + std::to_string(status.RecordsToday);
    out += ",\"lastAppendOk\":";
    out += Bool(status.Appended && status.FailedAppends == 0);
    out += ",\"failedAppends\":" + std::to_string(status.FailedAppends);
    // What a box would have told the operator: without windows nobody else hears it.
    out += ",\"messages\":" + std::to_string(status.Messages);
    out += ",\"lastMessage\":" + JsonString(status.LastMessage);
    out += ",\"alarms\":{\"active\":" + std::to_string(status.ActiveAlarms) +
           ",\"unacknowledged\":" + std::to_string(status.UnacknowledgedAlarms) + '}';
    if (status.ModbusServing) {
        out += ",\"modbus\":{\"clients\":" + std::to_string(status.ModbusClients) + ",\"allowList\":";
        out += Bool(status.ModbusAllowList);
        out += ",\"refused\":" + std::to_string(status.ModbusRefused) + '}';
    }
    if (const auto& broker = status.Broker) {
        out += ",\"mqtt\":{\"connected\":";
        out += Bool(broker->Connected);
        out += ",\"problem\":" + JsonString(broker->Problem);
        out += ",\"waiting\":" + std::to_string(broker->Waiting);
        out += ",\"acknowledged\":" + std::to_string(broker->Acknowledged) + '}';
    }
    out += '}';
    return out;
}

std::string OnlineStatusJson(std::string_view station, std::string_view version,
                             const StationStatus& status) {
    return "{\"state\":\"online\",\"station\":" + JsonString(station) +
           ",\"version\":" + JsonString(version) +
           ",\"simulated\":" + Bool(status.Port == PortState::Simulated) +
           ",\"avgCount\":" + std::to_string(status.AvgCount) +
           ",\"fastMs\":" + std::to_string(status.FastMs) + ",\"slowMs\":" + std::to_string(status.SlowMs) +
           '}';
}

std::string OfflineStatusJson(std::string_view station) {
    return "{\"state\":\"offline\",\"station\":" + JsonString(station) + '}';
}

std::string BrokerLine(const BrokerStatus& broker) {
    std::string line = broker.Connected ? "MQTT: связь с брокером есть"
                                        : "MQTT: нет связи с брокером (" + broker.Problem + ')';
    if (broker.Waiting > 1)
        line += ", ждут отправки: " + std::to_string(broker.Waiting);
    return line;
}

} // namespace registrator::integration
