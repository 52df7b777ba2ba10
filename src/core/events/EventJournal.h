#pragma once

#include "channels/ChannelData.h"
#include "events/JournalEntry.h"
#include "events/MotorEvents.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace registrator::events {

// The day's event journal beside the archive, "DD.MM.YYYY.events.csv": UTF-8 with a byte-order mark
// and ';' between the fields, numbers with a decimal comma, so a spreadsheet under Russian settings
// opens it as it is. Lines are only ever appended, each flushed as it is written; a line a power cut
// tore is cut off when the file is next opened.
class EventJournal {
public:
    explicit EventJournal(std::string folder) : folder_(std::move(folder)) {}
    ~EventJournal();
    EventJournal(const EventJournal&) = delete;
    EventJournal& operator=(const EventJournal&) = delete;

    // After the day's "DD.MM.YYYY" in the file's name.
    static constexpr const char* kFileSuffix = ".events.csv";
    static constexpr const char* kHeader =
        "время;событие;канал;секция;двигатель;пик, А;длительность, с;тревога;подробности";

    // Appends the event to its day's file; false when the file cannot be written.
    bool Append(const Event& event, const channels::ChannelData& data);
    std::string PathFor(common::TDateTime day) const;

    // What one pass over a journal file found.
    struct FileRead {
        bool Opened = false;
        bool Header = false;             // the first line is the journal's header: it is a journal
        std::vector<JournalEntry> Lines; // the whole event lines
        std::size_t TornBytes = 0;       // a last line without its line end, left out
        std::string Error;               // the system's reason when opening or reading failed
    };
    static FileRead ReadFile(const std::string& path);
    // The whole event lines of a journal file, its header left out.
    static std::vector<JournalEntry> Read(const std::string& path);
    // The whole lines after byte `offset` (0: the file's start, its header left out), and `offset`
    // moved past the last of them: what a view that follows the day's file reads at each new event.
    static std::vector<JournalEntry> ReadFrom(const std::string& path, std::uint64_t& offset);

private:
    bool Open(common::TDateTime day);

    std::string folder_;
    std::FILE* file_ = nullptr;
    common::TDateTime day_ = -1;
};

// At start-up, before anything is journalled: the newest journal's torn last line, which a power cut
// left on a day the program may not write again, is cut off.
void RepairNewestJournal(const std::string& folder);

// At start-up: what the start's journal line says of the end before it. Nothing after an orderly end
// (the newest journal ends with the program's end) or on a first start; else that the program was cut
// off, with the last record's time and the gap to `now`, from the newest day file.
std::string PreviousEndNote(const std::string& folder, common::TDateTime now);

// The journal line of one event, without its line end.
std::string JournalLine(const Event& event, const channels::ChannelData& data);

} // namespace registrator::events
