#pragma once

#include "channels/ChannelData.h"
#include "integration/StationStatus.h"
#include "monitor/ShownPanelStates.h"

#include <array>
#include <cstdint>
#include <string>

namespace registrator::integration {

// How long scan cycles take, in the buckets a Prometheus histogram reports.
class ScanHistogram {
public:
    static constexpr std::array<double, 11> kBounds{0.0005, 0.001, 0.002, 0.005, 0.01, 0.02,
                                                    0.05,   0.1,   0.25,  0.5,   1.0};

    void Observe(double seconds);

    const std::array<std::uint64_t, kBounds.size()>& Cumulative() const { return cumulative_; }
    std::uint64_t Count() const { return count_; }
    double Sum() const { return sum_; }

private:
    std::array<std::uint64_t, kBounds.size()> cumulative_{};
    std::uint64_t count_ = 0;
    double sum_ = 0;
};

struct MetricsInput {
    const channels::ChannelData& Data;
    const monitor::ShownPanelStates& States;
    const StationStatus& Status;
    const ScanHistogram& Scans;
};

// The recorder's metrics in the Prometheus text exposition format (version 0.0.4).
std::string PrometheusText(const MetricsInput& input);

} // namespace registrator::integration
