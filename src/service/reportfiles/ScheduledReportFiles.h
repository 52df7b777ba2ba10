#pragma once

#include "service/schedule/ReportScheduler.h"

#include <string>

namespace registrator::reportfiles {

// The scheduled reports' PDF and workbook, headed with `station`; a month's with its motors' health,
// held to the margin the settings file at `settingsPath` gives when the report is written.
schedule::ReportFileWriter ScheduledReportFiles(std::string station, std::string settingsPath);

} // namespace registrator::reportfiles
