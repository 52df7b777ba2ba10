#pragma once

#include "reports/ReportPeriod.h"
#include "service/reportfiles/ReportFiles.h"

#include <string>

// How a report names its period in its header, alike in the window, the tool and the written files.
namespace registrator::reportfiles {

std::string ShiftTitle(int shift, const reports::ReportPeriod& period); // "Смена 1, 09.12.2026 08:00 – 20:00"
std::string DayTitle(common::TDateTime day);                            // "Сутки 09.12.2026"
std::string MonthTitle(common::TDateTime day);                          // "Декабрь 2026"
std::string RangeTitle(const reports::ReportPeriod& period); // "09.12.2026 08:00 – 10.12.2026 12:30"

// The health section of a month report: each motor's last days of the month against its past, with the
// margin the settings file gives (as a share).
reports::MotorHealth MonthHealth(reports::HealthDays& cache, const reports::ReportPeriod& month,
                                 double margin, history::Workspace& work,
                                 const history::ProgressCallback& progress = {});

} // namespace registrator::reportfiles
