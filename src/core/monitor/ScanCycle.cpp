#include "monitor/ScanCycle.h"

#include "acquisition/Averaging.h"

namespace registrator::monitor {

bool RunScanCycle(acquisition::ScanProtocol& protocol, channels::ChannelData& data,
                  const common::Clock& clock, common::OperatorMessages& messages,
                  const std::function<void()>& onAvgCountReset) {
    protocol.WritePpiMode(acquisition::kPpiModeWord);
    // A failed averaging left the slot with amperes already; converting those again as counts would
    // show a wrong current.
    if (!acquisition::AverageScans(protocol, data, data.AvgCount, clock, messages, onAvgCountReset))
        return false;
    acquisition::ConvertReadings(data, clock);
    return true;
}

void RunHistoryStep(archive::Archive& archive, channels::ChannelData& data, const common::Clock& clock) {
    archive.WriteArhiv(data);
    const common::TDateTime today = clock.Today();
    if (today != data.CurDay) {
        data.CurDay = today;
        archive.WriteUst(data.Ustavki);
    } else {
        archive.RetryUst(data.Ustavki);
    }
    channels::AdvanceTokIndex(data);
}

} // namespace registrator::monitor
