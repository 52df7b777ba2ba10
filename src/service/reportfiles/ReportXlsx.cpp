#include "common/AtomicFile.h"
#include "service/reportfiles/ReportFiles.h"
#include "service/reportfiles/ReportLayout.h"

#include <QCoreApplication>
#include <atomic>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <xlsxwriter.h>
#ifndef _WIN32
#include <locale.h>
#endif

namespace registrator::reportfiles {

namespace {

using layout::Unit;

constexpr int kCaptionRow = 2; // under the two title rows; the rows above it and it stay in view

class Workbook {
public:
    explicit Workbook(const std::string& path) {
        lxw_workbook_options options = {};
        book_ = workbook_new_opt(path.c_str(), &options);
        if (!book_)
            return;
        caption_ = workbook_add_format(book_);
        format_set_bold(caption_);
        format_set_text_wrap(caption_);
        format_set_align(caption_, LXW_ALIGN_CENTER);
        format_set_align(caption_, LXW_ALIGN_VERTICAL_CENTER);
        format_set_bg_color(caption_, 0xE4E4E4);
        format_set_border(caption_, LXW_BORDER_THIN);
        title_ = workbook_add_format(book_);
        format_set_bold(title_);
        format_set_font_size(title_, 13);
        text_ = Format("", false);
        strongText_ = Format("", true);
    }
    ~Workbook() {
        if (book_)
            workbook_close(book_);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    bool Made() const { return book_ != nullptr; }
    // Closing writes the file; false and `error` when it could not.
    bool Close(std::string& error) {
        const lxw_error result = workbook_close(book_);
        book_ = nullptr;
        if (result != LXW_NO_ERROR) {
            error = lxw_strerror(result);
            return false;
        }
        return true;
    }
    void Properties(const ReportTitle& title) {
        title_text_ = "Отчёт: " + title.Station + ", " + title.Period;
        lxw_doc_properties properties = {};
        properties.title = title_text_.data();
        // The report's own time, not the clock's: the same report makes the same workbook.
        properties.created = static_cast<time_t>(std::llround((title.MadeAt - 25569.0) * 86400));
        workbook_set_properties(book_, &properties);
    }

    // A bordered cell format with the number format, bold for a total row.
    lxw_format* Format(const std::string& numbers, bool strong) {
        const auto key = std::make_pair(numbers, strong);
        if (const auto found = formats_.find(key); found != formats_.end())
            return found->second;
        lxw_format* format = workbook_add_format(book_);
        if (!numbers.empty())
            format_set_num_format(format, numbers.c_str());
        format_set_border(format, LXW_BORDER_THIN);
        if (strong)
            format_set_bold(format);
        return formats_[key] = format;
    }

    lxw_workbook* book_ = nullptr;
    lxw_format* caption_ = nullptr;
    lxw_format* title_ = nullptr;
    lxw_format* text_ = nullptr;
    lxw_format* strongText_ = nullptr;

private:
    std::string title_text_;
    std::map<std::pair<std::string, bool>, lxw_format*> formats_;
};

const char* NumberFormat(Unit unit) {
    switch (unit) {
    case Unit::Hours:
        return "0.00";
    case Unit::Duration:
        return "[h]:mm:ss";
    case Unit::Count:
        return "0";
    default:
        return "0.0";
    }
}

// What a cell holds: hours as hours, the other times as the spreadsheet's own (days), shown as h:mm:ss.
double CellValue(Unit unit, double value) {
    switch (unit) {
    case Unit::Hours:
        return layout::SteadySeconds(value) / 3600;
    case Unit::Duration:
        return layout::SteadySeconds(value) / 86400;
    default:
        return value;
    }
}

class Sheet {
public:
    // `part` names what the sheet holds of the report, after the station in its first row.
    Sheet(Workbook& book, const std::string& name, const ReportTitle& title, const std::string& part)
        : book_(book) {
        sheet_ = workbook_add_worksheet(book.book_, name.c_str());
        worksheet_write_string(sheet_, 0, 0, ("Отчёт: " + title.Station + ". " + part).c_str(), book.title_);
        worksheet_write_string(sheet_, 1, 0,
                               (title.Period + "; составлен " + layout::TimeText(title.MadeAt) +
                                ", версия программы " + title.Version)
                                   .c_str(),
                               nullptr);
        worksheet_set_landscape(sheet_);
        worksheet_set_paper(sheet_, 9); // A4
        worksheet_fit_to_pages(sheet_, 1, 0);
        worksheet_repeat_rows(sheet_, kCaptionRow, kCaptionRow);
    }

    // The caption row, kept in view with the first `keptColumns` columns.
    void Captions(const std::vector<std::string>& captions, int keptColumns) {
        for (std::size_t i = 0; i < captions.size(); ++i)
            worksheet_write_string(sheet_, kCaptionRow, static_cast<lxw_col_t>(i), captions[i].c_str(),
                                   book_.caption_);
        worksheet_set_row(sheet_, kCaptionRow, 45, nullptr);
        worksheet_freeze_panes(sheet_, kCaptionRow + 1, static_cast<lxw_col_t>(keptColumns));
        row_ = kCaptionRow + 1;
        column_ = 0;
    }
    void Width(int first, int last, double width) {
        worksheet_set_column(sheet_, static_cast<lxw_col_t>(first), static_cast<lxw_col_t>(last), width,
                             nullptr);
    }
    void Text(const std::string& text, bool strong = false) {
        worksheet_write_string(sheet_, row_, column_++, text.c_str(),
                               strong ? book_.strongText_ : book_.text_);
    }
    void Number(const std::optional<double>& value, const char* format, bool strong = false) {
        lxw_format* cell = book_.Format(format, strong);
        if (value)
            worksheet_write_number(sheet_, row_, column_++, *value, cell);
        else
            worksheet_write_blank(sheet_, row_, column_++, cell);
    }
    void Time(common::TDateTime time) { Number(time, "dd.mm.yyyy hh:mm:ss"); }
    void Figures(const reports::MotorFigures& figures, bool strong) {
        for (const layout::FigureColumn& column : layout::FigureColumns()) {
            const std::optional<double> value = column.Value(figures);
            Number(value ? std::optional(CellValue(column.Kind, *value)) : std::nullopt,
                   NumberFormat(column.Kind), strong);
        }
    }
    void EndRow() {
        ++row_;
        column_ = 0;
    }
    void Line(const std::string& text) {
        worksheet_write_string(sheet_, row_++, 0, text.c_str(), nullptr);
        column_ = 0;
    }

private:
    Workbook& book_;
    lxw_worksheet* sheet_ = nullptr;
    lxw_row_t row_ = kCaptionRow + 1;
    lxw_col_t column_ = 0;
};

std::vector<std::string> FigureCaptions(const char* first, const char* second) {
    std::vector<std::string> captions = {first, second};
    for (const layout::FigureColumn& column : layout::FigureColumns())
        captions.emplace_back(column.Caption);
    return captions;
}

void FigureWidths(Sheet& sheet, double nameWidth) {
    sheet.Width(0, 0, 8);
    sheet.Width(1, 1, nameWidth);
    sheet.Width(2, static_cast<int>(layout::FigureColumns().size()) + 1, 12);
}

void WritePlant(Workbook& book, const ReportContent& content) {
    const reports::PeriodFigures& figures = content.Figures;
    Sheet sheet(book, "Станция", content.Title, "Итоги по станции");
    sheet.Captions(FigureCaptions("Секция", "Название"), 2);
    FigureWidths(sheet, 28);
    for (int s = 1; s <= channels::kSectionCount; ++s) {
        sheet.Number(s, "0");
        sheet.Text(std::string(channels::SectionName(s)));
        sheet.Figures(figures.Sections[static_cast<std::size_t>(s)], false);
        sheet.EndRow();
    }
    sheet.Text("", true);
    sheet.Text("Вся станция", true);
    sheet.Figures(figures.Plant, true);
    sheet.EndRow();
    const std::vector<std::string> remarks = layout::Remarks(figures);
    if (!remarks.empty()) {
        sheet.EndRow();
        sheet.Line("Примечания:");
        for (const std::string& remark : remarks)
            sheet.Line(remark);
    }
}

void WriteSection(Workbook& book, const ReportContent& content, int section) {
    const reports::PeriodFigures& figures = content.Figures;
    Sheet sheet(book, "Секция " + std::to_string(section), content.Title, layout::SectionTitle(section));
    sheet.Captions(FigureCaptions("Канал", "Двигатель"), 2);
    FigureWidths(sheet, 24);
    for (int n = channels::FirstChannelOfSection(section); n < channels::FirstChannelOfSection(section + 1);
         ++n) {
        sheet.Number(n, "0");
        sheet.Text(layout::MotorName(figures, n));
        sheet.Figures(figures.Motors[static_cast<std::size_t>(n)], false);
        sheet.EndRow();
    }
    sheet.Text("", true);
    sheet.Text("Итого по секции", true);
    sheet.Figures(figures.Sections[static_cast<std::size_t>(section)], true);
    sheet.EndRow();
}

std::optional<double> OptionalChannel(const std::optional<int>& channel) {
    return channel ? std::optional<double>(*channel) : std::nullopt;
}

void WriteAlarms(Workbook& book, const ReportContent& content) {
    Sheet sheet(book, "Тревоги", content.Title, "Тревоги за период");
    sheet.Captions({layout::AlarmCaptions().begin(), layout::AlarmCaptions().end()}, 1);
    for (const auto& [column, width] :
         {std::pair{0, 20.0}, {1, 22.0}, {2, 8.0}, {3, 22.0}, {4, 24.0}, {5, 10.0}, {6, 30.0}, {7, 20.0}})
        sheet.Width(column, column, width);
    for (const reports::AlarmLine& alarm : content.Figures.Alarms) {
        sheet.Time(alarm.Time);
        sheet.Text(alarm.Kind);
        sheet.Number(OptionalChannel(alarm.Channel), "0");
        sheet.Text(alarm.Section);
        sheet.Text(alarm.Motor);
        sheet.Number(alarm.Peak, "0.0");
        sheet.Text(alarm.Details);
        if (alarm.Acknowledged)
            sheet.Time(*alarm.Acknowledged);
        else
            sheet.Text("нет");
        sheet.EndRow();
    }
}

void WriteCalibrations(Workbook& book, const ReportContent& content) {
    Sheet sheet(book, "Калибровка", content.Title, "Изменения калибровки");
    sheet.Captions({layout::CalibrationCaptions().begin(), layout::CalibrationCaptions().end()}, 1);
    for (const auto& [column, width] :
         {std::pair{0, 20.0}, {1, 8.0}, {2, 24.0}, {3, 22.0}, {4, 16.0}, {5, 16.0}})
        sheet.Width(column, column, width);
    for (const reports::CalibrationLine& change : content.Figures.Calibrations)
        for (const reports::CalibrationField& field : change.Fields) {
            sheet.Time(change.Time);
            sheet.Number(OptionalChannel(change.Channel), "0");
            sheet.Text(change.Motor);
            sheet.Text(field.Caption);
            sheet.Text(field.Old);
            sheet.Text(field.New);
            sheet.EndRow();
        }
}

void WriteHealth(Workbook& book, const ReportContent& content) {
    Sheet sheet(book, "Состояние двигателей", content.Title, "Состояние двигателей");
    std::vector<std::string> captions = {"Канал", "Двигатель"};
    for (const layout::DriftColumn& column : layout::DriftColumns()) {
        captions.push_back(std::string(column.Caption) + ", последние");
        captions.push_back(std::string(column.Caption) + ", прежде");
    }
    captions.emplace_back("Отметки");
    sheet.Captions(captions, 2);
    sheet.Width(0, 0, 8);
    sheet.Width(1, 1, 24);
    sheet.Width(2, 9, 13);
    sheet.Width(10, 10, 40);
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const reports::MotorDrift& drift = content.Health->Drifts[static_cast<std::size_t>(n)];
        if (!layout::HasHealthData(drift))
            continue;
        sheet.Number(n, "0");
        sheet.Text(layout::MotorName(content.Figures, n));
        for (const layout::DriftColumn& column : layout::DriftColumns()) {
            const char* format = column.DecimalPlaces == 3 ? "0.000" : "0.0";
            sheet.Number((drift.*column.Member).Recent, format, drift.Any());
            sheet.Number((drift.*column.Member).Past, format, drift.Any());
        }
        sheet.Text(layout::FlagsText(drift), drift.Any());
        sheet.EndRow();
    }
    sheet.EndRow();
    sheet.Line(layout::HealthPeriodText(*content.Health));
}

// A name of its own in the temporary folder: the library opens files by narrow names, which on Windows
// would not reach a folder named in Russian.
std::filesystem::path ScratchPath() {
    static std::atomic<int> count{0};
    return std::filesystem::temp_directory_path() /
           ("registrator-report-" + std::to_string(QCoreApplication::applicationPid()) + "-" +
            std::to_string(count++) + ".xlsx");
}

} // namespace

namespace {

// libxlsxwriter prints its numbers with printf, which follows LC_NUMERIC. Qt sets the process's locale
// from the environment on Unix, and a Russian one wrote "59,98", a cell no reader takes for a number. The
// C locale is taken for this thread alone while the workbook is written; Windows' C runtime stays in it.
class CNumbersOnThisThread {
public:
#ifdef _WIN32
    // User-provided, so that an instance is no unused variable to the compiler.
    CNumbersOnThisThread() {}
#else
    CNumbersOnThisThread() : c_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))) {
        if (c_)
            before_ = uselocale(c_);
    }
    ~CNumbersOnThisThread() {
        if (c_) {
            uselocale(before_);
            freelocale(c_);
        }
    }
    CNumbersOnThisThread(const CNumbersOnThisThread&) = delete;
    CNumbersOnThisThread& operator=(const CNumbersOnThisThread&) = delete;

private:
    locale_t c_;
    locale_t before_ = LC_GLOBAL_LOCALE;
#endif
};

} // namespace

bool WriteReportXlsx(const ReportContent& content, const std::filesystem::path& file, std::string& error) {
    const CNumbersOnThisThread numbers;
    std::error_code failure;
    const std::filesystem::path scratch = ScratchPath();
    {
        Workbook book(scratch.string());
        if (!book.Made()) {
            error = "cannot make a workbook in " + common::Utf8FromPath(scratch.parent_path());
            return false;
        }
        book.Properties(content.Title);
        WritePlant(book, content);
        for (int s = 1; s <= channels::kSectionCount; ++s)
            WriteSection(book, content, s);
        WriteAlarms(book, content);
        WriteCalibrations(book, content);
        if (content.Health)
            WriteHealth(book, content);
        if (!book.Close(error)) {
            std::filesystem::remove(scratch, failure);
            error = common::Utf8FromPath(scratch) + ": " + error;
            return false;
        }
    }
    std::ifstream in(scratch, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const bool read = static_cast<bool>(in) || in.eof();
    in.close();
    std::filesystem::remove(scratch, failure);
    if (!read || bytes.empty()) {
        error = common::Utf8FromPath(scratch) + ": the workbook could not be read back";
        return false;
    }
    std::error_code why;
    if (common::ReplaceFileAtomically(file, bytes, {}, &why) != common::ReplaceResult::Replaced) {
        error = common::Utf8FromPath(file) + ": " + why.message();
        return false;
    }
    return true;
}

} // namespace registrator::reportfiles
