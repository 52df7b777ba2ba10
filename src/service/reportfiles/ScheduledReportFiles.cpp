#include "service/reportfiles/ScheduledReportFiles.h"

#include "channels/SettingsFile.h"
#include "common/Clock.h"
#include "common/Version.h"
#include "service/reportfiles/ReportFiles.h"
#include "service/reportfiles/ReportTitles.h"

namespace registrator::reportfiles {

schedule::ReportFileWriter ScheduledReportFiles(std::string station, std::string settingsPath) {
    return [station = std::move(station), settingsPath = std::move(settingsPath)](
               const schedule::CountedReport& report, const std::filesystem::path& stem, std::string& error) {
        ReportContent content;
        content.Figures = report.Figures;
        content.Title = {station, report.PeriodTitle, common::ProgramVersion(), common::SystemClock().Now()};
        if (report.MonthReport) {
            const double margin = channels::SettingsFile(settingsPath, common::RegionalSettings::Russian())
                                      .ReadHealthMargin()
                                      .Share();
            reports::HealthDays cache(report.History);
            content.Health =
                MonthHealth(cache, {report.Figures.From, report.Figures.To}, margin, report.Work);
        }
        std::filesystem::path pdf = stem, xlsx = stem;
        pdf += ".pdf";
        xlsx += ".xlsx";
        return WriteReportPdf(content, pdf, error) && WriteReportXlsx(content, xlsx, error);
    };
}

} // namespace registrator::reportfiles
