#include "service/web/ReportListing.h"

#include "archive/ArchiveFile.h"
#include "reports/FiguresCsv.h"
#include "reports/ReportSchedule.h"
#include "service/web/WebPages.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace registrator::web {

const char* const kNoSuchReport = "no such report";

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kLinkWords = {
    {{"смена", "shift"}, {"сутки", "day"}, {"месяц", "month"}}};

constexpr double kMostReportDays = 366;

bool IsLinkByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

std::string SizeText(std::uint64_t bytes) {
    if (bytes < 1024)
        return std::to_string(bytes) + " Б";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1024);
    std::string out = text;
    std::replace(out.begin(), out.end(), '.', ',');
    return out + " КБ";
}

// Newest first by the date a name begins with; a month after every day of it.
std::string SortKey(const std::string& name) {
    const bool month = name.size() > 8 && name[4] == '-' && name[7] == ' ';
    return month ? name.substr(0, 7) + "-99" + name.substr(7) : name;
}

// "2026-12-09T08:00" as "09.12.2026 08:00", so that one reader takes both; a '+' for a space, as a form
// sends it.
std::string DottedDate(std::string_view value) {
    std::string text(value);
    std::replace(text.begin(), text.end(), '+', ' ');
    const bool iso =
        (text.size() == 10 || (text.size() == 16 && text[10] == 'T')) && text[4] == '-' && text[7] == '-';
    if (!iso)
        return text;
    std::string dotted = text.substr(8, 2) + "." + text.substr(5, 2) + "." + text.substr(0, 4);
    return text.size() == 16 ? dotted + " " + text.substr(11) : dotted;
}

} // namespace

std::string ReportLinkName(std::string_view name) {
    std::string out;
    while (!name.empty()) {
        const auto word = std::find_if(kLinkWords.begin(), kLinkWords.end(), [&](const auto& pair) {
            return name.substr(0, pair.first.size()) == pair.first;
        });
        if (word != kLinkWords.end()) {
            out += word->second;
            name.remove_prefix(word->first.size());
            continue;
        }
        const char c = name.front();
        name.remove_prefix(1);
        if (IsLinkByte(c)) {
            out += c;
        } else if (c == ' ') {
            out += '_';
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "~%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

std::string ReportContentType(std::string_view name) {
    const auto ends = [&](std::string_view tail) {
        return name.size() > tail.size() && name.substr(name.size() - tail.size()) == tail;
    };
    if (ends(".csv"))
        return "text/csv; charset=utf-8";
    if (ends(".pdf"))
        return "application/pdf";
    if (ends(".xlsx"))
        return "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
    return {};
}

bool ReportListPage::Next(std::string& out, const std::function<bool()>&) {
    std::vector<reports::ReportFile> files = reports::ListReportFolder(folder_);
    std::erase_if(files,
                  [](const reports::ReportFile& file) { return ReportContentType(file.Name).empty(); });
    std::sort(files.begin(), files.end(), [](const reports::ReportFile& a, const reports::ReportFile& b) {
        return SortKey(a.Name) > SortKey(b.Name);
    });
    // The journal page's style.
    out = PageHead(QStringLiteral("Отчёты"), "table.css").toStdString() +
          "<body><header><a href=\"/\">← панель</a> · отчёты · файлов: " + std::to_string(files.size()) +
          "</header>\n";
    if (files.empty()) {
        out += "<p>Отчётов пока нет.</p>";
    } else {
        out += "<table><thead><tr><th>отчёт</th><th>размер</th></tr></thead><tbody>\n";
        for (const reports::ReportFile& file : files)
            out += "<tr><td><a href=\"/reports/" + ReportLinkName(file.Name) + "\" download>" +
                   Escaped(file.Name).toStdString() + "</a></td><td class=\"n\">" + SizeText(file.Bytes) +
                   "</td></tr>\n";
        out += "</tbody></table>";
    }
    out += "</body></html>\n";
    return false;
}

bool ReportFileRead::Next(std::string& out, const std::function<bool()>& stop) {
    const std::vector<reports::ReportFile> files = reports::ListReportFolder(folder_);
    const auto file = std::find_if(files.begin(), files.end(), [&](const reports::ReportFile& f) {
        return !ReportContentType(f.Name).empty() && ReportLinkName(f.Name) == linkName_;
    });
    if (file == files.end()) {
        error_ = kNoSuchReport;
        return false;
    }
    // Refused as a link even if one took the file's place since the folder was read.
    archive::ArchiveFile read(folder_ + file->Name, archive::ArchiveFile::Mode::Read,
                              archive::ArchiveFile::Links::Refuse);
    if (!read.IsOpen()) {
        error_ = kNoSuchReport;
        return false;
    }
    out = file->Name + "\n";
    char block[65536];
    while (!stop()) {
        const std::size_t got = read.Read(block, sizeof block);
        out.append(block, got);
        if (got < sizeof block) {
            error_ = read.Error();
            return false;
        }
    }
    error_ = "stopped";
    return false;
}

std::optional<reports::ReportPeriod> ParseReportQuery(std::string_view query, std::string& error) {
    std::optional<std::string_view> from, to;
    if (!ReadQuery(query, {{"from", &from}, {"to", &to}}, "/report?from=…&to=…", error))
        return std::nullopt;
    std::optional<common::TDateTime> start, end;
    if (from && to) {
        start = reports::DateMinuteValue(DottedDate(*from));
        end = reports::DateMinuteValue(DottedDate(*to));
    }
    if (!start || !end || *end <= *start || *end - *start > kMostReportDays + 1e-9) {
        error =
            "Период: from и to как ДД.ММ.ГГГГ ЧЧ:ММ или ГГГГ-ММ-ДДTЧЧ:ММ, to позже from, не длиннее года, "
            "например from=09.12.2026+08:00&to=09.12.2026+20:00\n";
        return std::nullopt;
    }
    return reports::ReportPeriod{*start, *end};
}

bool ReportCsv::Next(std::string& out, const std::function<bool()>& stop) {
    // A workspace of its own, as a period's chart has.
    history::Workspace work;
    const reports::PeriodFigures figures =
        reports::CountPeriod(history_, request_, work, [&stop](const history::Progress&) { return !stop(); });
    if (figures.Stopped)
        error_ = "stopped";
    else
        reports::WriteFiguresCsv(out, figures, request_, archive::CsvForm::Plain);
    return false;
}

} // namespace registrator::web
