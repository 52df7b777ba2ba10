#pragma once

#include "archive/CsvExport.h"
#include "reports/PeriodFigures.h"

#include <string>

namespace registrator::reports {

// A period's figures in the archive tool's two forms: the table of the 72 motors, the six sections and the
// plant; after an empty line the alarms of the period; after another the calibration changes, one row
// per changed field. Every table has its header row; the README describes the columns.
void WriteFiguresCsv(std::string& out, const PeriodFigures& figures, const FiguresRequest& request,
                     archive::CsvForm form);

} // namespace registrator::reports
