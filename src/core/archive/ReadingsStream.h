#pragma once

#include "archive/ArchiveFile.h"
#include "archive/ArchiveRecords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace registrator::archive {

// A day's readings file gone through in blocks of whole records, so that a file of any size (a
// sparse one larger than memory among them) is read in bounded memory. Records appended after the
// file was opened belong to the next reading.
class ReadingsStream {
public:
    static constexpr std::size_t kBlockRecords = 4096;

    ReadingsStream(const std::string& path, ArchiveFile::Links links = ArchiveFile::Links::Follow);

    bool IsOpen() const { return file_.IsOpen(); }
    // The system's reason when opening or reading failed ("" while all is well).
    const std::string& Error() const { return error_; }
    // Whole records in the file when it was opened, and the bytes of an unfinished one after them.
    std::uint64_t Records() const { return records_; }
    std::uint64_t TrailingBytes() const { return trailing_; }
    // Records handed out so far.
    std::uint64_t Done() const { return done_; }

    // The next block of records, empty at the end or after a read failure (then Error() says why).
    std::span<const TArhivRec> Next();
    // Back to the first record, for a second pass.
    bool Rewind();

private:
    ArchiveFile file_;
    std::vector<TArhivRec> block_;
    std::string error_;
    std::uint64_t records_ = 0;
    std::uint64_t trailing_ = 0;
    std::uint64_t done_ = 0;
};

} // namespace registrator::archive
