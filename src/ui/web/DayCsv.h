#pragma once

#include "channels/ChannelData.h"

#include <string>

namespace registrator::web {

enum class DayCsvKind { Readings, Summary };

struct DayCsv {
    bool Found = false; // false: the day has no readings file, or not one whole record in it
    std::string Text;
};

// The one place the web view turns a day's archive files into CSV. `present` gives the switch-off
// currents, which snapshots do not keep, and the thresholds of a day without a snapshot. Reads files
// only, so it may run off the GUI thread.
DayCsv MakeDayCsv(DayCsvKind kind, const std::string& readingsPath, const std::string& snapshotPath,
                  const channels::UstavkiTable& present);

} // namespace registrator::web
