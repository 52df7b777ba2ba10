#pragma once

#include "archive/ArchiveFile.h"
#include "archive/ArchiveRecords.h"
#include "history/DigestFormat.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace registrator::history {

// Takes the next block of records; returns false to stop.
using RecordVisitor = std::function<bool(std::span<const archive::TArhivRec>)>;

// The records of a day file whose time of day, rounded to the millisecond as its text shows it, lies in
// [fromMs, toMs) (milliseconds of the day), in file order, in blocks, reading
// only that part of the file: records rise in time within each run that `header` (the day's digest)
// keeps the start of, so each run's first record in range is found by binary search. Records after
// the digest, or every record when the digest kept no runs or there is none, are read through.
// Returns false and says why when the file cannot be read; a stop by `visit` is no failure.
bool ReadRecordsBetween(const std::string& dayPath, const DigestHeader* header, std::int64_t fromMs,
                        std::int64_t toMs, const RecordVisitor& visit, std::string& error,
                        archive::ArchiveFile::Links links = archive::ArchiveFile::Links::Follow);

} // namespace registrator::history
