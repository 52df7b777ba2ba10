#include "archive/CsvExport.h"

#include "common/Cp1251.h"
#include "common/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace registrator::archive {

CsvRow::CsvRow(CsvForm form)
    : separator_(form == CsvForm::Spreadsheet ? ';' : ','),
      decimal_(form == CsvForm::Spreadsheet ? ',' : '.'), byteOrderMark_(form == CsvForm::Spreadsheet) {}

void CsvRow::StartFile(std::ostream& out) const {
    if (byteOrderMark_)
        out << "\xEF\xBB\xBF";
}

void CsvRow::StartFile(std::string& out) const {
    if (byteOrderMark_)
        out += "\xEF\xBB\xBF";
}

void CsvRow::Field(std::string_view text) {
    // An empty first field still counts: its separator keeps the columns in place.
    if (started_)
        row_ += separator_;
    started_ = true;
    if (text.find_first_of(std::string{separator_} + "\"\r\n") == std::string_view::npos) {
        row_ += text;
        return;
    }
    row_ += '"';
    for (char c : text) {
        if (c == '"')
            row_ += '"';
        row_ += c;
    }
    row_ += '"';
}

// A number or a time is never quoted: it holds neither separator nor quote.
void CsvRow::Number(double value) {
    if (started_)
        row_ += separator_;
    started_ = true;
    common::AppendFloatText(row_, value, decimal_);
}

void CsvRow::Time(double time) {
    if (started_)
        row_ += separator_;
    started_ = true;
    AppendTimeOfDayText(row_, time, decimal_);
}

void CsvRow::WriteTo(std::ostream& out) {
    row_ += "\r\n";
    out.write(row_.data(), static_cast<std::streamsize>(row_.size()));
    row_.clear();
    started_ = false;
}

void CsvRow::AppendTo(std::string& out) {
    out += row_;
    out += "\r\n";
    row_.clear();
    started_ = false;
}

std::string TimeOfDayText(double time, char fractionSeparator) {
    if (!std::isfinite(time))
        return "";
    // Only the fraction is a time of day; a record never carries a date, but a damaged one might.
    const double fraction = time - std::floor(time);
    const std::int64_t ms = std::min<std::int64_t>(std::llround(fraction * 86400000.0), 86399999);
    char text[16];
    const auto part = [](std::int64_t v) { return static_cast<int>(v); };
    std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%03d", part(ms / 3600000), part(ms / 60000 % 60),
                  part(ms / 1000 % 60), fractionSeparator, part(ms % 1000));
    return text;
}

namespace {

void AppendDigits(std::string& out, int value, int width) {
    char digits[12];
    for (int i = width - 1; i >= 0; --i, value /= 10)
        digits[i] = static_cast<char>('0' + value % 10);
    out.append(digits, static_cast<std::size_t>(width));
}

} // namespace

void AppendTimeOfDayText(std::string& out, double time, char fractionSeparator) {
    if (!std::isfinite(time))
        return;
    const double fraction = time - std::floor(time);
    const std::int64_t ms = std::min<std::int64_t>(std::llround(fraction * 86400000.0), 86399999);
    AppendDigits(out, static_cast<int>(ms / 3600000), 2);
    out += ':';
    AppendDigits(out, static_cast<int>(ms / 60000 % 60), 2);
    out += ':';
    AppendDigits(out, static_cast<int>(ms / 1000 % 60), 2);
    out += fractionSeparator;
    AppendDigits(out, static_cast<int>(ms % 1000), 3);
}

std::vector<int> AllChannels() {
    std::vector<int> all;
    for (int n = 1; n <= 72; ++n)
        all.push_back(n);
    return all;
}

ReadingsCsv::ReadingsCsv(std::vector<int> channels, CsvForm form, std::vector<std::string> names)
    : channels_(std::move(channels)), names_(std::move(names)), spreadsheet_(form == CsvForm::Spreadsheet),
      row_(form) {}

void ReadingsCsv::Header(std::string& out) {
    row_.StartFile(out);
    row_.Field("time");
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        std::string title = "ch" + std::to_string(channels_[i]);
        if (spreadsheet_ && i < names_.size() && !names_[i].empty())
            title += " " + names_[i];
        row_.Field(title);
    }
    row_.AppendTo(out);
}

void ReadingsCsv::Rows(std::span<const TArhivRec> records, std::string& out) {
    for (const TArhivRec& rec : records) {
        row_.Time(rec.Time);
        for (int n : channels_)
            row_.Number(rec.Tok[n - 1]);
        row_.AppendTo(out);
    }
}

void WriteReadingsCsv(std::ostream& out, std::span<const TArhivRec> records, const std::vector<int>& channels,
                      CsvForm form, const std::vector<std::string>& names) {
    ReadingsCsv csv(channels, form, names);
    std::string text;
    csv.Header(text);
    // In blocks, so a long day does not need its whole text at once.
    constexpr std::size_t kBlock = 1024;
    for (std::size_t i = 0; i < records.size(); i += kBlock) {
        csv.Rows(records.subspan(i, std::min(kBlock, records.size() - i)), text);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        text.clear();
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
}

std::vector<int> WriteSettingsCsv(std::ostream& out, std::span<const TUstRec> snapshot,
                                  const std::vector<int>& channels, CsvForm form) {
    CsvRow row(form);
    row.StartFile(out);
    for (const char* title : {"channel", "name", "nominal_current", "critical_current", "power"})
        row.Field(title);
    row.WriteTo(out);
    std::vector<int> missing;
    for (int n : channels) {
        if (static_cast<std::size_t>(n) > snapshot.size()) {
            missing.push_back(n);
            continue;
        }
        const TUstRec& rec = snapshot[static_cast<std::size_t>(n - 1)];
        row.Field(std::to_string(n));
        row.Field(common::Cp1251ToUtf8(NameBytes(rec)));
        row.Number(rec.T_Nom);
        row.Number(rec.T_Max);
        row.Field(common::IntToText(rec.Moshn));
        row.WriteTo(out);
    }
    out.flush();
    return missing;
}

} // namespace registrator::archive
