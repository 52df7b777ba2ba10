#include "integration/StationStatus.h"

#include "acquisition/PortAccess.h"
#include "archive/Archive.h"
#include "events/ActiveAlarms.h"
#include "integration/ModbusImage.h"
#include "integration/RetainedMotors.h"

#include <gtest/gtest.h>

namespace registrator::integration {
namespace {

// One snapshot, every outlet: figures past what a register holds stop at its top, not wrap.
TEST(StationStatus, EachOutletGivesTheSameSnapshotInItsOwnForm) {
    StationStatus status;
    status.RecordsToday = 86400;
    status.LastRecordUnix = 0x12345678;
    status.Appended = true;
    status.FailedAppends = 3;
    status.ScanCycles = 0x00010002;
    status.Port = PortState::Simulated;
    status.AvgCount = 5;
    status.FastMs = 100000;
    status.SlowMs = 1000;
    status.Messages = 70000;
    status.LastMessage = "Ошибка открытия\nфайла \"БД\"";
    status.ActiveAlarms = 2;
    status.UnacknowledgedAlarms = 1;
    status.Broker = BrokerStatus{false, "connection refused", 5'000'000'000, 7};

    using Block = std::array<std::uint16_t, modbus_map::kStatusCount>;
    EXPECT_EQ(StatusRegisters(status, WordOrder::HighFirst),
              (Block{1, 20864, 0x1234, 0x5678, 1, 2, 1, 1, 5, 65535, 1000, 65535, 2, 0xFFFF, 0xFFFF, 2, 1}));
    EXPECT_EQ(StatusRegisters(status, WordOrder::LowFirst)[0], 20864);
    EXPECT_EQ(HealthJson(status),
              "{\"port\":\"simulated\",\"recordsToday\":86400,\"lastAppendOk\":false,\"failedAppends\":3,"
              "\"messages\":70000,\"lastMessage\":\"Ошибка открытия\\u000aфайла \\\"БД\\\"\","
              "\"alarms\":{\"active\":2,\"unacknowledged\":1},\"mqtt\":{\"connected\":false,"
              "\"problem\":\"connection refused\",\"waiting\":5000000000,\"acknowledged\":7}}");
    EXPECT_EQ(OnlineStatusJson("Цех 2", "0.1", status),
              "{\"state\":\"online\",\"station\":\"Цех 2\",\"version\":\"0.1\",\"simulated\":true,"
              "\"avgCount\":5,\"fastMs\":100000,\"slowMs\":1000}");
    EXPECT_EQ(BrokerLine(*status.Broker),
              "MQTT: нет связи с брокером (connection refused), ждут отправки: 5000000000");

    // Without MQTT: no broker in /health, 0 in its register; a port not ready is "closed".
    status.Broker.reset();
    status.Port = PortState::NotReady;
    status.FailedAppends = 0;
    EXPECT_EQ(HealthJson(status).find("mqtt"), std::string::npos);
    EXPECT_NE(HealthJson(status).find("\"port\":\"closed\",\"recordsToday\":86400,\"lastAppendOk\":true"),
              std::string::npos);
    EXPECT_EQ(StatusRegisters(status, WordOrder::HighFirst)[12], 0);
    EXPECT_EQ(BrokerLine({true, "", 1, 0}), "MQTT: связь с брокером есть");
}

// A port the test says the state of.
class StatedPort final : public acquisition::PortAccess {
public:
    StatedPort(bool ready, std::string note) : ready_(ready), note_(std::move(note)) {}
    bool IsReady() const override { return ready_; }
    std::uint8_t ReadRegister(std::uint8_t, std::uint8_t) override { return 0; }
    void WriteRegister(std::uint8_t, std::uint8_t, std::uint8_t) override {}
    std::uint32_t LastError() const override { return 0; }
    std::string SimulationNote() const override { return note_; }

private:
    bool ready_;
    std::string note_;
};

// Yesterday's count is not today's: after midnight the records start from none until today's first
// append, which a status that trusted the archive's count showed as yesterday's 86400.
TEST(StationStatus, TodaysRecordsAreTodaysFileAndThePortSaysWhetherItIsSimulated) {
    const common::TDateTime today = common::EncodeDate(2026, 12, 9);
    archive::AppendStatus appends;
    channels::ChannelData data;
    events::ActiveAlarms alarms;
    const StatedPort closed(false, ""), open(true, ""), simulated(true, "simulated plant");
    StationStatus status = StatusOfParts(appends, today, closed, data, alarms);
    EXPECT_FALSE(status.Appended);
    EXPECT_EQ(status.Port, PortState::NotReady);
    appends.Day = today - 1;
    appends.RecordsToday = 86400;
    status = StatusOfParts(appends, today, open, data, alarms);
    EXPECT_TRUE(status.Appended);
    EXPECT_EQ(status.RecordsToday, 0u);
    EXPECT_EQ(status.Port, PortState::Open);
    appends.Day = today;
    appends.RecordsToday = 3;
    status = StatusOfParts(appends, today, simulated, data, alarms);
    EXPECT_EQ(status.RecordsToday, 3u);
    EXPECT_EQ(status.Port, PortState::Simulated);
}

// A motor's retained message goes out when what the mimic shows of it changes, and only then.
TEST(RetainedMotors, SendsAMotorAgainOnlyWhenItsWholeAmperesStateOrSettingsChange) {
    channels::ChannelData data;
    monitor::ShownPanelStates states;
    RetainedMotors motors;
    data.TokIndex = 1; // slot 0 was just archived
    data.TokHistory.At(5, 0).Value = 41.2;
    EXPECT_EQ(motors.Changed("st", data, states).size(), 72u);
    EXPECT_TRUE(motors.Changed("st", data, states).empty());
    data.TokHistory.At(5, 0).Value = 40.6; // still 41 A on the label
    data.TokHistory.At(6, 1).Value = 300;  // the fresh slot, not archived yet
    EXPECT_TRUE(motors.Changed("st", data, states).empty());
    data.TokHistory.At(5, 0).Value = 42;
    data.Ustavki[7].T_Nom += 1;
    const auto changed = motors.Changed("st", data, states);
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].first, "registrator/st/motor/5");
    EXPECT_NE(changed[0].second.find("\"current\":42"), std::string::npos);
    EXPECT_EQ(changed[1].first, "registrator/st/motor/7");
}

} // namespace
} // namespace registrator::integration
