#pragma once

#include "service/reportfiles/ReportFiles.h"

#include <QString>

class QPagedPaintDevice;

namespace registrator::reportfiles {

// The report as one HTML document: what the PDF, the print preview and the printout all draw.
QString ReportHtml(const ReportContent& content);

// Sets `device` to A4 landscape and draws the report on it, page by page with page numbers. Usable off
// the GUI thread for a device that lives there (a QPdfWriter).
void PrintReport(const ReportContent& content, QPagedPaintDevice& device);

} // namespace registrator::reportfiles
