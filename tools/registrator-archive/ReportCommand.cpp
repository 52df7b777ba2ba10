#include "ArchiveExport.h"
#include "DaySources.h"
#include "FileTrouble.h"
#include "ReportFilesOutput.h"
#include "ToolCommand.h"
#include "common/Clock.h"
#include "common/Utf8Path.h"
#include "reports/FiguresCsv.h"
#include "reports/ReportPeriod.h"

#include <cmath>
#include <filesystem>

namespace registrator::tools {

namespace {

struct ReportOptions {
    std::string Folder = "Data";
    std::string Settings;
    std::string Shift, Day, Month, From, To;
    std::string Pdf, Xlsx, Station;
    bool Csv = false;
    bool Excel = false;
    bool Help = false;
};

// The command line after "report"; false and `error` on a wrong one.
bool ParseReportOptions(const std::vector<std::string>& args, ReportOptions& options, std::string& error) {
    bool folderGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string* value = nullptr;
        std::string name = arg.substr(0, arg.find('='));
        if (name == "--settings")
            value = &options.Settings;
        else if (name == "--shift")
            value = &options.Shift;
        else if (name == "--day")
            value = &options.Day;
        else if (name == "--month")
            value = &options.Month;
        else if (name == "--from")
            value = &options.From;
        else if (name == "--to")
            value = &options.To;
        else if (name == "--pdf")
            value = &options.Pdf;
        else if (name == "--xlsx")
            value = &options.Xlsx;
        else if (name == "--station")
            value = &options.Station;
        if (value) {
            if (arg.size() > name.size()) {
                *value = arg.substr(name.size() + 1);
            } else if (i + 1 < args.size()) {
                *value = args[++i];
            } else {
                error = name + " needs a value";
                return false;
            }
        } else if (arg == "--excel") {
            options.Excel = options.Csv = true;
        } else if (arg == "--csv") {
            options.Csv = true;
        } else if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (folderGiven) {
            error = "unexpected argument \"" + arg + "\"";
            return false;
        } else {
            options.Folder = arg;
            folderGiven = true;
        }
    }
    const int periods = !options.Shift.empty() + !options.Day.empty() + !options.Month.empty() +
                        (!options.From.empty() || !options.To.empty());
    if (!options.Help && periods != 1) {
        error = "report needs one period: --shift, --day, --month, or --from and --to";
        return false;
    }
    return true;
}

// The period the options name and what kind it is; false and `error` when they name none.
bool PeriodOf(const ReportOptions& options, const std::vector<int>& shifts, reports::ReportPeriod& period,
              ReportKind& kind, std::string& error) {
    if (!options.Shift.empty()) {
        const std::size_t slash = options.Shift.find('/');
        const auto day = common::ArchiveDateValue(options.Shift.substr(0, slash));
        const std::string number = slash == std::string::npos ? "" : options.Shift.substr(slash + 1);
        const bool digits = !number.empty() && number.size() < 3 &&
                            number.find_first_not_of("0123456789") == std::string::npos;
        const auto shift =
            day && digits ? reports::ShiftPeriod(*day, std::stoi(number), shifts) : std::nullopt;
        if (!shift) {
            error = "--shift takes the day the shift begins on and its number, 1 to " +
                    std::to_string(shifts.size()) + ": for example 06.12.2026/2";
            return false;
        }
        period = *shift;
        kind = {ReportKind::Shift, std::stoi(number)};
    } else if (!options.Day.empty()) {
        const auto day = common::ArchiveDateValue(options.Day);
        if (!day) {
            error = "--day takes a date such as 06.12.2026";
            return false;
        }
        period = reports::DayPeriod(*day);
        kind = {ReportKind::Day};
    } else if (!options.Month.empty()) {
        const auto day = common::ArchiveDateValue("01." + options.Month);
        if (!day) {
            error = "--month takes a month such as 12.2026";
            return false;
        }
        period = reports::MonthPeriod(*day);
        kind = {ReportKind::Month};
    } else {
        const auto from = reports::DateMinuteValue(options.From);
        const auto to = reports::DateMinuteValue(options.To);
        if (!from || !to || *to <= *from) {
            error = "--from and --to take a date and a time of day such as \"06.12.2026 08:00\", the end "
                    "after the "
                    "beginning";
            return false;
        }
        period = {*from, *to};
        kind = {ReportKind::Range};
    }
    return true;
}

} // namespace

int ExportReport(const ToolRun& run) {
    ReportOptions options;
    std::string error;
    if (!ParseReportOptions(run.Options.Arguments, options, error)) {
        run.Err << kToolPrefix << error << "\nTry 'registrator-archive --help'.\n";
        return kExitBadUsage;
    }
    if (options.Help) {
        run.Out << HelpText();
        return kExitOk;
    }
    PresentSettings present;
    if (const auto status = LoadPresentSettings(options.Settings, run.ToolFolder, run.Err, present))
        return *status;
    reports::FiguresRequest request;
    std::vector<int> shifts(channels::kDefaultShiftStarts.begin(), channels::kDefaultShiftStarts.end());
    double healthMargin = channels::HealthMargin{}.Share();
    if (!present.Path.empty()) {
        const channels::SettingsFile file(present.Path, common::RegionalSettings::Russian());
        request.Supplies = file.ReadSupplies();
        shifts = file.ReadShiftStarts();
        healthMargin = file.ReadHealthMargin().Share();
    }
    reports::ReportPeriod period;
    ReportKind kind;
    if (!PeriodOf(options, shifts, period, kind, error)) {
        run.Err << kToolPrefix << error << "\nTry 'registrator-archive --help'.\n";
        return kExitBadUsage;
    }
    const FileTrouble trouble(run.Err, options.Folder);
    std::error_code ignored;
    if (!std::filesystem::is_directory(common::PathFromUtf8(options.Folder), ignored))
        return trouble.Report("no such archive folder");

    // What has not happened yet is no time without records.
    const common::TDateTime madeAt = common::SystemClock().Now();
    const common::TDateTime now = std::ceil(madeAt * 1440) / 1440;
    if (period.To > now && period.From < now) {
        period.To = now;
        trouble.Note("the period has not ended; counted up to " + events::JournalTimeText(now).substr(0, 16));
    }
    request.From = period.From;
    request.To = period.To;
    request.MakeDigestsAhead = true;
    const history::ArchiveHistory history(options.Folder, present.Motors, present.Source);
    history::Workspace work;
    const reports::PeriodFigures figures = reports::CountPeriod(history, request, work);

    if (options.Csv || (options.Pdf.empty() && options.Xlsx.empty())) {
        std::string text;
        reports::WriteFiguresCsv(text, figures, request,
                                 options.Excel ? archive::CsvForm::Spreadsheet : archive::CsvForm::Plain);
        run.Out.write(text.data(), static_cast<std::streamsize>(text.size()));
        run.Out.flush();
    }
    int status = kExitOk;
    if (!options.Pdf.empty() || !options.Xlsx.empty())
        status = WriteReportFiles({figures, history, work, period, kind, madeAt, options.Station, options.Pdf,
                                   options.Xlsx, healthMargin},
                                  run.Err);
    for (const std::string& reason : figures.Troubles)
        status = trouble.Report(reason);
    for (const common::TDateTime day : figures.DaysWithoutJournal)
        trouble.Note(common::ArchiveDateText(day) +
                     ": no event journal; its starts, overloads and alarms are "
                     "not counted");
    const auto days = history.Days();
    if (std::none_of(days.begin(), days.end(),
                     [&](common::TDateTime day) { return day + 1 > figures.From && day < figures.To; }))
        status = trouble.Report("no day file in the period");
    return status;
}

} // namespace registrator::tools
