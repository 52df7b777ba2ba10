#pragma once

#include "archive/ReadingsStream.h"
#include "archive/RecordFiles.h"
#include "events/EventJournal.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace registrator::tools {

constexpr const char* kToolPrefix = "registrator-archive: ";

// What is wrong with one file, on standard error as "registrator-archive: FILE: what". The reports
// return the exit status a file in trouble gives; the notes leave it as it is.
class FileTrouble {
public:
    FileTrouble(std::ostream& err, std::string file) : err_(err), file_(std::move(file)) {}

    int Report(const std::string& what) const;
    void Note(const std::string& what) const;

    // A file that gave no whole record: why, in the reader's words.
    int NoRecord(const archive::RecordFileRead& read, const char* kind, std::size_t recordSize) const;
    int ReadFailed(const archive::RecordFileRead& read) const;
    // A readings file that gives no whole record to go by; nothing when it gives one.
    std::optional<int> NoReadings(const archive::ReadingsStream& stream) const;
    int ReadFailed(const archive::ReadingsStream& stream) const;
    // The whole records before an unfinished one were still `done` ("written", "summed up").
    int Unfinished(std::uint64_t bytes, std::uint64_t records, const char* done) const;
    // "holds 2 of the 72 channel records; " and what became of the others.
    int ShortSnapshot(std::size_t records, const std::string& others) const;

    // A journal that gives nothing to go by; nothing when it is one.
    std::optional<int> NoJournal(const events::EventJournal::FileRead& read) const;
    // Trouble past the header: the lines before it were still `done`.
    std::optional<int> JournalTail(const events::EventJournal::FileRead& read, const char* done) const;

private:
    std::ostream& err_;
    std::string file_;
};

} // namespace registrator::tools
