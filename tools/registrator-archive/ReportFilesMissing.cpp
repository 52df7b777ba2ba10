#include "ArchiveExport.h"
#include "FileTrouble.h"
#include "ReportFilesOutput.h"

namespace registrator::tools {

int WriteReportFiles(const ReportFilesRequest&, std::ostream& err) {
    err << kToolPrefix << "this build has no Qt Gui: --pdf and --xlsx need the build with the program\n";
    return kExitBadUsage;
}

} // namespace registrator::tools
