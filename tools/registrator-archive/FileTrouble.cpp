#include "FileTrouble.h"

#include "ArchiveExport.h"

namespace registrator::tools {

namespace {

// What a stream found, in the words the reports use.
archive::RecordFileRead ReadOf(const archive::ReadingsStream& stream) {
    archive::RecordFileRead read;
    read.Opened = stream.IsOpen();
    read.Records = static_cast<std::size_t>(stream.Done());
    read.TrailingBytes = stream.TrailingBytes();
    read.Error = stream.Error();
    return read;
}

} // namespace

int FileTrouble::Report(const std::string& what) const {
    Note(what);
    return kExitBadFile;
}

void FileTrouble::Note(const std::string& what) const {
    err_ << kToolPrefix << file_ << ": " << what << '\n';
}

int FileTrouble::NoRecord(const archive::RecordFileRead& read, const char* kind,
                          std::size_t recordSize) const {
    if (!read.Opened)
        return Report("cannot open: " + read.Error);
    if (!read.Error.empty())
        return Report("cannot read: " + read.Error);
    if (read.TrailingBytes == 0)
        return Report(std::string("empty: no ") + kind + " record in it");
    return Report(std::string("no whole ") + kind + " record, only " + std::to_string(read.TrailingBytes) +
                  " bytes (a record is " + std::to_string(recordSize) + ")");
}

int FileTrouble::ReadFailed(const archive::RecordFileRead& read) const {
    return Report("read failed after " + std::to_string(read.Records) + " records: " + read.Error);
}

std::optional<int> FileTrouble::NoReadings(const archive::ReadingsStream& stream) const {
    if (!stream.IsOpen() || !stream.Error().empty() || stream.Records() == 0)
        return NoRecord(ReadOf(stream), "readings", sizeof(archive::TArhivRec));
    return std::nullopt;
}

int FileTrouble::ReadFailed(const archive::ReadingsStream& stream) const {
    return ReadFailed(ReadOf(stream));
}

int FileTrouble::Unfinished(std::uint64_t bytes, std::uint64_t records, const char* done) const {
    return Report("ends with an unfinished record of " + std::to_string(bytes) + " bytes; the " +
                  std::to_string(records) + " whole records before it were " + done);
}

int FileTrouble::ShortSnapshot(std::size_t records, const std::string& others) const {
    return Report("holds " + std::to_string(records) + " of the 72 channel records; " + others);
}

std::optional<int> FileTrouble::NoJournal(const events::EventJournal::FileRead& read) const {
    if (!read.Opened)
        return Report("cannot open: " + read.Error);
    if (!read.Header && !read.Error.empty())
        return Report("cannot read: " + read.Error);
    if (!read.Header)
        return Report(std::string("not an event journal: its first line is not the header \"") +
                      events::EventJournal::kHeader + '"');
    return std::nullopt;
}

std::optional<int> FileTrouble::JournalTail(const events::EventJournal::FileRead& read,
                                            const char* done) const {
    const std::string before =
        "; the " + std::to_string(read.Lines.size()) + " whole lines before it were " + done;
    if (!read.Error.empty())
        return Report("read failed" + before + ": " + read.Error);
    if (read.TornBytes != 0)
        return Report("ends with a torn line of " + std::to_string(read.TornBytes) + " bytes" + before);
    return std::nullopt;
}

} // namespace registrator::tools
