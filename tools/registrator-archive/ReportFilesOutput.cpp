#include "ReportFilesOutput.h"

#include "ArchiveExport.h"
#include "FileTrouble.h"
#include "common/Utf8Path.h"
#include "common/Version.h"
#include "service/reportfiles/ReportTitles.h"

#include <QGuiApplication>
#include <QSysInfo>
#include <memory>

namespace registrator::tools {

namespace {

std::string PeriodTitle(const ReportFilesRequest& request) {
    switch (request.Kind.Is) {
    case ReportKind::Shift:
        return reportfiles::ShiftTitle(request.Kind.ShiftNumber, request.Period);
    case ReportKind::Day:
        return reportfiles::DayTitle(request.Period.From);
    case ReportKind::Month:
        return reportfiles::MonthTitle(request.Period.From);
    case ReportKind::Range:
        break;
    }
    return reportfiles::RangeTitle(request.Period);
}

} // namespace

int WriteReportFiles(const ReportFilesRequest& request, std::ostream& err) {
    std::unique_ptr<QGuiApplication> application;
    if (!request.Pdf.empty() && !QCoreApplication::instance()) {
        // Fonts come from Qt Gui's platform; a station without a display has only the offscreen one.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "registrator-archive";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    reportfiles::ReportContent content;
    content.Figures = request.Figures;
    content.Title = {request.Station.empty() ? QSysInfo::machineHostName().toStdString() : request.Station,
                     PeriodTitle(request), common::ProgramVersion(), request.MadeAt};
    if (request.Kind.Is == ReportKind::Month) {
        reports::HealthDays cache(request.History);
        content.Health = reportfiles::MonthHealth(cache, request.Period, request.HealthMargin, request.Work);
    }
    int status = kExitOk;
    for (const auto& [file, write] : {std::pair{request.Pdf, &reportfiles::WriteReportPdf},
                                      std::pair{request.Xlsx, &reportfiles::WriteReportXlsx}}) {
        std::string error;
        if (!file.empty() && !write(content, common::PathFromUtf8(file), error)) {
            err << kToolPrefix << error << '\n';
            status = kExitBadFile;
        }
    }
    return status;
}

} // namespace registrator::tools
