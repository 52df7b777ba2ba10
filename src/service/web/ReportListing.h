#pragma once

#include "channels/SettingsFile.h"
#include "history/DigestStore.h"
#include "reports/PeriodFigures.h"
#include "reports/ReportPeriod.h"
#include "service/web/ArchiveWork.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace registrator::web {

// The web view refuses any '%' in a target, so a report's name travels in links in a plain form of its
// own: "смена", "сутки" and "месяц" as "shift", "day" and "month", a space as '_', and every other byte
// but letters, digits, '-' and '.' as "~XX" ("2026-12-09_shift_1.pdf"). A request is served only when
// a plain file of Reports/ has exactly that form, so nothing else is ever reached.
std::string ReportLinkName(std::string_view name);

// What Content-Type a report file is served with, by its extension; empty for files that are no reports.
std::string ReportContentType(std::string_view name);

// What Error() says when no report has the requested name.
extern const char* const kNoSuchReport;

// /reports: the page listing Reports/, the newest first, each with its size and download link.
class ReportListPage final : public WholeWork {
public:
    explicit ReportListPage(std::string folder) : folder_(std::move(folder)) {}
    bool Next(std::string& out, const std::function<bool()>& stop) override;

private:
    std::string folder_;
};

// /reports/<link name>: the file's own name (UTF-8) and a line feed, then its bytes; Error() is kNoSuchReport
// when there is none.
class ReportFileRead final : public WholeWork {
public:
    ReportFileRead(std::string folder, std::string linkName)
        : folder_(std::move(folder)), linkName_(std::move(linkName)) {}
    bool Next(std::string& out, const std::function<bool()>& stop) override;

private:
    std::string folder_;
    std::string linkName_;
};

// What /report is asked, "from=09.12.2026+08:00&to=09.12.2026+20:00" or "from=2026-12-09T08:00&to=…":
// whole minutes, the end after the beginning, at most a year. Nothing for a query it cannot take, and
// `error` says why in the operator's words.
std::optional<reports::ReportPeriod> ParseReportQuery(std::string_view query, std::string& error);

// /report's work, off the GUI thread: the period's figures (reports::CountPeriod) as the tool's CSV.
class ReportCsv final : public WholeWork {
public:
    ReportCsv(history::ArchiveHistory history, reports::FiguresRequest request)
        : history_(std::move(history)), request_(std::move(request)) {}
    bool Next(std::string& out, const std::function<bool()>& stop) override;

private:
    history::ArchiveHistory history_;
    reports::FiguresRequest request_;
};

} // namespace registrator::web
