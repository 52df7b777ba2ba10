#include "events/EventJournal.h"

#include "archive/ArchiveRecords.h"
#include "common/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace registrator::events {

namespace {

constexpr const char* kBom = "\xEF\xBB\xBF";

// Nothing for a figure the event has not.
std::string Figure(double value, bool carried = false) {
    if ((value == 0 && !carried) || !std::isfinite(value))
        return {};
    return JournalFigureText(value);
}

// A field never breaks the line or the columns: ';' and line ends in a name become spaces.
std::string Field(std::string text) {
    for (char& c : text)
        if (c == ';' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

namespace {

// A line a power cut tore: everything after the last line end goes. Only the file's end is read: a
// line is far shorter than what is looked at, and a day's journal may be long.
void CutTornLine(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size == 0)
        return;
    constexpr std::uintmax_t kTail = 64 * 1024;
    const std::uintmax_t from = size > kTail ? size - kTail : 0;
    std::ifstream in(path, std::ios::binary);
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    if (!in.seekg(static_cast<std::streamoff>(from)) ||
        !in.read(tail.data(), static_cast<std::streamsize>(tail.size())))
        return;
    in.close();
    if (tail.back() == '\n')
        return;
    const std::size_t end = tail.rfind('\n');
    if (end != std::string::npos)
        std::filesystem::resize_file(path, from + end + 1, error);
    else if (from == 0)
        std::filesystem::resize_file(path, 0, error);
}

} // namespace

EventJournal::~EventJournal() {
    if (file_)
        std::fclose(file_);
}

std::string EventJournal::PathFor(common::TDateTime day) const {
    return folder_ + common::ArchiveDateText(day) + kFileSuffix;
}

std::string JournalLine(const Event& event, const channels::ChannelData& data) {
    std::string line = JournalTimeText(event.Time);
    line += ';';
    line += EventKindText(event.Kind);
    line += ';';
    if (event.Channel >= 1 && event.Channel <= channels::kChannelCount) {
        line += std::to_string(event.Channel);
        line += ';';
        line += channels::SectionName(channels::SectionOfChannel(event.Channel));
        line += ';';
        line += Field(data.Ustavki[event.Channel].Name.Utf8());
    } else {
        line += ";;";
    }
    // The ends of starts, overloads and above-nominal spells say how long they lasted, however short.
    const bool lasted = event.Kind == EventKind::StartEnded || event.Kind == EventKind::LongStart ||
                        event.Kind == EventKind::OverloadEnded || event.Kind == EventKind::AboveNominalEnded;
    line += ';' + Figure(event.Peak) + ';' + Figure(event.Seconds, lasted) + ';';
    line += event.Alarm ? kJournalAlarm : "";
    line += ';' + Field(event.Text);
    return line;
}

bool EventJournal::Open(common::TDateTime day) {
    if (file_ && day == day_)
        return true;
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    const std::filesystem::path path = common::PathFromUtf8(PathFor(day));
    std::error_code error;
    CutTornLine(path);
    const bool fresh = std::filesystem::file_size(path, error) == 0 || error;
    file_ = std::fopen(path.string().c_str(), "ab");
    if (!file_)
        return false;
    day_ = day;
    if (fresh) {
        std::fputs(kBom, file_);
        std::fputs(kHeader, file_);
        std::fputs("\r\n", file_);
    }
    return std::fflush(file_) == 0;
}

bool EventJournal::Append(const Event& event, const channels::ChannelData& data) {
    if (!Open(common::DatePart(event.Time)))
        return false;
    const std::string line = JournalLine(event, data) + "\r\n";
    return std::fwrite(line.data(), 1, line.size(), file_) == line.size() && std::fflush(file_) == 0;
}

namespace {

// One pass from `offset` on: the whole lines, the header checked where the file starts, a line without
// its end (torn, or still being written) left out and counted.
void Scan(const std::string& path, std::uint64_t& offset, EventJournal::FileRead& read) {
    std::ifstream in(common::PathFromUtf8(path), std::ios::binary);
    read.Opened = in.is_open();
    if (!read.Opened) {
        read.Error = std::strerror(errno);
        return;
    }
    if (!in.seekg(static_cast<std::streamoff>(offset)))
        return;
    std::string line;
    bool header = offset == 0;
    while (std::getline(in, line)) {
        if (in.eof()) {
            read.TornBytes = line.size();
            break;
        }
        offset += line.size() + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (header) {
            header = false;
            read.Header =
                std::string_view(line).substr(line.starts_with(kBom) ? 3 : 0) == EventJournal::kHeader;
            continue;
        }
        read.Lines.push_back(ReadJournalLine(line));
    }
    if (in.bad())
        read.Error = std::strerror(errno);
}

} // namespace

EventJournal::FileRead EventJournal::ReadFile(const std::string& path) {
    FileRead read;
    std::uint64_t offset = 0;
    Scan(path, offset, read);
    return read;
}

std::vector<JournalEntry> EventJournal::Read(const std::string& path) {
    return ReadFile(path).Lines;
}

std::vector<JournalEntry> EventJournal::ReadFrom(const std::string& path, std::uint64_t& offset) {
    FileRead read;
    Scan(path, offset, read);
    return std::move(read.Lines);
}

} // namespace registrator::events

namespace registrator::events {

namespace {

// The newest file of the folder whose name is "DD.MM.YYYY" and `suffix`, by the date in its name.
std::filesystem::path NewestByDate(const std::string& folder, const std::string& suffix,
                                   common::TDateTime* day = nullptr) {
    std::filesystem::path newest;
    common::TDateTime newestDay = -1;
    std::error_code error;
    for (std::filesystem::directory_iterator it(common::PathFromUtf8(folder), error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() != 10 + suffix.size() || name.compare(10, std::string::npos, suffix) != 0)
            continue;
        const auto date = common::ArchiveDateValue(std::string_view(name).substr(0, 10));
        if (date && *date > newestDay) {
            newestDay = *date;
            newest = it->path();
        }
    }
    if (day)
        *day = newestDay;
    return newest;
}

} // namespace

void RepairNewestJournal(const std::string& folder) {
    const std::filesystem::path journal = NewestByDate(folder, EventJournal::kFileSuffix);
    if (!journal.empty())
        CutTornLine(journal);
}

std::string PreviousEndNote(const std::string& folder, common::TDateTime now) {
    const std::filesystem::path journal = NewestByDate(folder, EventJournal::kFileSuffix);
    if (journal.empty())
        return {};
    const auto lines = EventJournal::Read(journal.string());
    if (lines.empty() || lines.back().Kind == EventKind::ProgramEnded)
        return {};
    std::string note = "после сбоя";
    common::TDateTime date = 0;
    const std::filesystem::path day = NewestByDate(folder, ".txt", &date);
    std::error_code error;
    const auto size = day.empty() ? 0 : std::filesystem::file_size(day, error);
    archive::TArhivRec last;
    std::ifstream in(day, std::ios::binary);
    if (!error && size >= sizeof last &&
        in.seekg(static_cast<std::streamoff>((size / sizeof last - 1) * sizeof last)) &&
        in.read(reinterpret_cast<char*>(&last), sizeof last)) {
        const common::TDateTime at = date + last.Time;
        note += ": последняя запись " + common::FormatDate(at, "dd.MM.yyyy") + ' ' +
                common::FormatTime(at, "HH:mm:ss") + ", перерыв " +
                std::to_string(std::max<long long>(0, std::llround((now - at) * 86400))) + " с";
    }
    return note;
}

} // namespace registrator::events
