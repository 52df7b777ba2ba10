#pragma once

#include "common/DateTime.h"
#include "reports/MotorHealth.h"
#include "reports/PeriodFigures.h"

#include <filesystem>
#include <optional>
#include <string>

namespace registrator::reportfiles {

struct ReportTitle {
    std::string Station; // UTF-8, the station's name as the program already shows it
    std::string Period; // UTF-8, e.g. "Смена 1, 09.12.2026 08:00 – 20:00", "Сутки 09.12.2026", "Декабрь 2026"
    std::string Version; // the program's version
    common::TDateTime MadeAt = 0;
};

struct ReportContent {
    reports::PeriodFigures Figures;
    ReportTitle Title;
    std::optional<reports::MotorHealth> Health; // a month report's health section; empty for others
};

// Thread-safe (no GUI objects; needs a Q(Gui)Application to exist). False and `error` on failure; never a
// half-written file under `file` (write beside, then rename).
bool WriteReportPdf(const ReportContent& content, const std::filesystem::path& file, std::string& error);
bool WriteReportXlsx(const ReportContent& content, const std::filesystem::path& file, std::string& error);

} // namespace registrator::reportfiles
