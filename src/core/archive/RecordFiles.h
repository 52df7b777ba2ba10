#pragma once

#include "archive/ArchiveFile.h"
#include "archive/ArchiveRecords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace registrator::archive {

constexpr std::size_t kArhivRecSize = sizeof(TArhivRec);
constexpr std::size_t kUstRecSize = sizeof(TUstRec);
constexpr std::size_t kUstRecCount = 72;

// What one pass over a record file found.
struct RecordFileRead {
    bool Opened = false;
    std::size_t Records = 0;         // whole records read
    std::uint64_t MoreRecords = 0;   // whole records past those the caller had room for
    std::uint64_t TrailingBytes = 0; // bytes of an unfinished record at the end
    std::string Error;               // the system's reason when opening or reading failed
};

// The most records a day is loaded with: ten a second all day long, far beyond what the recorder
// writes (one a second at most). Only a damaged or made-up file is longer; it is loaded up to here.
constexpr std::size_t kMaxLoadedRecords = 864000;

// The whole records of a readings file into buffer[0 .. Records), at most `limit` of them (the rest
// are MoreRecords), in large blocks. The buffer grows to the file and never shrinks, so reloading a
// day of the same size allocates nothing.
RecordFileRead ReadReadingsFile(const std::string& path, std::vector<TArhivRec>& buffer,
                                std::size_t limit = kMaxLoadedRecords);

// The first whole records of a snapshot file into out[0 .. Records); entries past them are untouched.
RecordFileRead ReadSnapshotFile(const std::string& path, std::span<TUstRec> out,
                                ArchiveFile::Links links = ArchiveFile::Links::Follow);

// Writes the record at the end of the last whole record of the file (creating the file if need be),
// so an unfinished tail left by a crash is overwritten rather than shifting every later record.
struct AppendResult {
    bool Ok = false;
    std::uint64_t RecordsInFile = 0; // whole records once this one is in
    std::error_code Error;           // why it failed
};
AppendResult AppendReading(const std::string& path, const TArhivRec& record);

// Replaces the file in one step (a temporary beside it, flushed, then renamed over it), so a crash
// never leaves half a snapshot. Only when the system refuses the rename itself is the file written
// in place; any other failure leaves the old snapshot as it was. Returns the system's reason for a
// failure, nothing when the file was written.
std::error_code WriteSnapshotFile(const std::string& path, std::span<const TUstRec> records);

} // namespace registrator::archive
