#pragma once

#include "history/DigestStore.h"
#include "reports/PeriodFigures.h"
#include "reports/ReportPeriod.h"

#include <ostream>
#include <string>

namespace registrator::tools {

struct ReportKind {
    enum Kind { Shift, Day, Month, Range } Is = Range;
    int ShiftNumber = 0;
};

struct ReportFilesRequest {
    const reports::PeriodFigures& Figures;
    const history::ArchiveHistory& History; // a month report reads its motors' health from it
    history::Workspace& Work;
    reports::ReportPeriod Period;
    ReportKind Kind;
    common::TDateTime MadeAt = 0;
    std::string Station; // empty: the computer's name
    std::string Pdf;     // the files asked for, UTF-8; empty for none
    std::string Xlsx;
    double HealthMargin = channels::HealthMargin{}.Share();
};

// Writes the PDF and the workbook asked for; the exit status. A build without Qt Gui says it cannot.
int WriteReportFiles(const ReportFilesRequest& request, std::ostream& err);

} // namespace registrator::tools
