#pragma once

#include "archive/CsvExport.h"
#include "monitor/DaySummary.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace registrator::monitor {

// "snapshot", "settings" or "defaults": the thresholds_from column's words.
const char* ThresholdSourceWord(ThresholdSource source);

// Columns a caller puts after the summary's own: their titles, and the fields of each motor's row.
struct MoreSummaryColumns {
    std::vector<std::string> Titles;
    std::function<void(int channel, archive::CsvRow& row)> Fields;
};

// A header, then one row for each of the 72 motors: its name and thresholds from `day`, the summary of
// its day, and where its thresholds came from (the columns are described in the README).
void WriteDaySummaryCsv(std::ostream& out, const DaySummaries& summaries, const DayMotors& day,
                        archive::CsvForm form, const MoreSummaryColumns* more = nullptr);

} // namespace registrator::monitor
