#include "integration/PrometheusText.h"

#include <gtest/gtest.h>

namespace registrator::integration {
namespace {

// An operator may type anything into a motor's name; the exposition must stay parseable.
TEST(PrometheusText, EscapesNamesAndWritesNumbersAsPrometheusReadsThem) {
    channels::ChannelData data;
    data.Ustavki[7].Name = common::MotorName::FromUtf8("Насос \"Б\" \\ 2");
    data.Current(7).Value = 41;
    monitor::ShownPanelStates states;
    StationStatus status;
    status.ModbusClients = 2;
    ScanHistogram scans;
    scans.Observe(0.0003);
    scans.Observe(0.25);
    scans.Observe(3);
    const std::string text = PrometheusText({data, states, status, scans});

    EXPECT_NE(text.find("registrator_current_amperes{channel=\"7\",section=\"Массоподготовка\","
                        "name=\"Насос \\\"Б\\\" \\\\ 2\"} 41\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("registrator_scan_cycle_seconds_bucket{le=\"5e-04\"} 1\n"), std::string::npos);
    EXPECT_NE(text.find("registrator_scan_cycle_seconds_bucket{le=\"0.25\"} 2\n"), std::string::npos);
    EXPECT_NE(text.find("registrator_scan_cycle_seconds_bucket{le=\"+Inf\"} 3\n"), std::string::npos);
    EXPECT_NE(text.find("registrator_scan_cycle_seconds_sum 3.2503\n"), std::string::npos);
    EXPECT_NE(text.find("registrator_modbus_clients 2\n"), std::string::npos);
}

} // namespace
} // namespace registrator::integration
