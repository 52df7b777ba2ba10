#pragma once

#include "archive/ArchiveRecords.h"
#include "archive/CsvExport.h"
#include "channels/ChannelData.h"

#include <ostream>
#include <span>

namespace registrator::monitor {

// A header, then one row for each of the 72 motors: its name and thresholds from `motors` and the
// summary of its day in `records` (the columns are described in the README).
void WriteDaySummaryCsv(std::ostream& out, std::span<const archive::TArhivRec> records,
                        const channels::UstavkiTable& motors, archive::CsvForm form);

} // namespace registrator::monitor
