#pragma once

#include "archive/CsvExport.h"
#include "monitor/DaySummary.h"

#include <ostream>

namespace registrator::monitor {

// "snapshot", "settings" or "defaults": the thresholds_from column's words.
const char* ThresholdSourceWord(ThresholdSource source);

// A header, then one row for each of the 72 motors: its name and thresholds from `day`, the summary of
// its day, and where its thresholds came from (the columns are described in the README).
void WriteDaySummaryCsv(std::ostream& out, const DaySummaries& summaries, const DayMotors& day,
                        archive::CsvForm form);

} // namespace registrator::monitor
