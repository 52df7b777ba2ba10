#pragma once

#include "archive/ArchiveRecords.h"

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace registrator::archive {

// Plain is RFC 4180 (',' between fields, '.' decimals). Spreadsheet is what a spreadsheet under Russian
// regional settings reads with every column typed: ';' between fields, ',' in numbers and in the
// fraction of a second, and a UTF-8 byte order mark, without which the names are taken for the local
// 8-bit code page.
enum class CsvForm { Plain, Spreadsheet };

// One CSV row at a time, quoting only the fields that need it; rows end in CRLF.
class CsvRow {
public:
    explicit CsvRow(CsvForm form);

    void StartFile(std::ostream& out) const;
    void StartFile(std::string& out) const;
    void Field(std::string_view text);
    void Number(double value);
    // A stored time of day, its fraction of a second written as the form wants it.
    void Time(double time);
    void WriteTo(std::ostream& out);
    void AppendTo(std::string& out);

private:
    char separator_;
    char decimal_;
    bool byteOrderMark_;
    std::string row_;
    bool started_ = false; // a field is in the row, if only an empty one
};

// A stored time of day as HH:MM:SS followed by `fractionSeparator` and the milliseconds.
std::string TimeOfDayText(double time, char fractionSeparator = '.');
// The same text appended to `out`, without its cost (exports write millions).
void AppendTimeOfDayText(std::string& out, double time, char fractionSeparator);

// Channels 1..72.
std::vector<int> AllChannels();

// The readings table in pieces, for a day too large to hold: the header once, then the rows of each
// block of records as it is read, each appended to `out`.
class ReadingsCsv {
public:
    // `names` (UTF-8, one per channel of `channels`, or none) head the spreadsheet form's columns
    // beside the channel numbers: a spreadsheet is read by people. The plain form keeps ch1..ch72.
    ReadingsCsv(std::vector<int> channels, CsvForm form, std::vector<std::string> names = {});
    void Header(std::string& out);
    void Rows(std::span<const TArhivRec> records, std::string& out);

private:
    std::vector<int> channels_;
    std::vector<std::string> names_;
    bool spreadsheet_;
    CsvRow row_;
};

// A header "time,ch<n>,...", then one row per record with the currents of `channels` in that order.
void WriteReadingsCsv(std::ostream& out, std::span<const TArhivRec> records, const std::vector<int>& channels,
                      CsvForm form, const std::vector<std::string>& names = {});

// A header, then one row per channel of `channels` that `snapshot` holds (entry k - 1 for channel k):
// channel, name in UTF-8, nominal and critical current, power. Returns the channels it does not hold.
std::vector<int> WriteSettingsCsv(std::ostream& out, std::span<const TUstRec> snapshot,
                                  const std::vector<int>& channels, CsvForm form);

} // namespace registrator::archive
