#include "archive/RecordFiles.h"

#include "archive/ArchiveFile.h"
#include "common/AtomicFile.h"
#include "common/Utf8Path.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <type_traits>

namespace registrator::archive {

// Records go to and from the file as their memory image: the formats are little-endian IEEE doubles,
// which is what every target of this program uses.
static_assert(std::endian::native == std::endian::little);
static_assert(std::numeric_limits<double>::is_iec559);
static_assert(std::is_trivially_copyable_v<TArhivRec> && std::is_trivially_copyable_v<TUstRec>);

RecordFileRead ReadReadingsFile(const std::string& path, std::vector<TArhivRec>& buffer, std::size_t limit) {
    RecordFileRead result;
    ArchiveFile file(path, ArchiveFile::Mode::Read);
    if (!file.IsOpen()) {
        result.Error = file.Error();
        return result;
    }
    result.Opened = true;
    const auto size = file.Size();
    if (!size) {
        result.Error = file.Error();
        return result;
    }
    // Records appended after this point belong to the next load.
    const std::uint64_t inFile = *size / kArhivRecSize;
    const std::uint64_t whole = std::min<std::uint64_t>(inFile, limit);
    result.MoreRecords = inFile - whole;
    if (buffer.size() < whole)
        buffer.resize(static_cast<std::size_t>(whole));
    const std::size_t wanted = static_cast<std::size_t>(whole) * kArhivRecSize;
    const std::size_t got = file.Read(buffer.data(), wanted);
    result.Records = got / kArhivRecSize;
    if (got == wanted)
        result.TrailingBytes = result.MoreRecords == 0 ? *size % kArhivRecSize : 0;
    else
        result.Error = file.Error().empty() ? "file shrank while being read" : file.Error();
    return result;
}

RecordFileRead ReadSnapshotFile(const std::string& path, std::span<TUstRec> out, ArchiveFile::Links links) {
    RecordFileRead result;
    ArchiveFile file(path, ArchiveFile::Mode::Read, links);
    if (!file.IsOpen()) {
        result.Error = file.Error();
        return result;
    }
    result.Opened = true;
    // Read into a scratch table first so an unfinished record never reaches the caller's entries.
    std::array<TUstRec, kUstRecCount> scratch;
    const std::size_t room = std::min(out.size(), scratch.size());
    const std::size_t got = file.Read(scratch.data(), room * kUstRecSize);
    result.Records = got / kUstRecSize;
    std::copy_n(scratch.begin(), result.Records, out.begin());
    if (got < room * kUstRecSize) {
        result.TrailingBytes = got % kUstRecSize;
        if (!file.Error().empty())
            result.Error = file.Error();
        return result;
    }
    if (const auto size = file.Size(); size && *size > got) {
        result.MoreRecords = (*size - got) / kUstRecSize;
        result.TrailingBytes = (*size - got) % kUstRecSize;
    }
    return result;
}

AppendResult AppendReading(const std::string& path, const TArhivRec& record) {
    AppendResult result;
    ArchiveFile file(path, ArchiveFile::Mode::ReadWriteCreate);
    const auto size = file.IsOpen() ? file.Size() : std::nullopt;
    if (!size || !file.Seek(*size / kArhivRecSize * kArhivRecSize) || !file.Write(&record, sizeof record) ||
        !file.Close()) {
        result.Error = file.ErrorCode();
        return result;
    }
    result.Ok = true;
    result.RecordsInFile = *size / kArhivRecSize + 1;
    return result;
}

namespace {

std::error_code WriteInPlace(const std::string& path, std::span<const TUstRec> records) {
    ArchiveFile file(path, ArchiveFile::Mode::CreateTruncate);
    if (!file.IsOpen() || !file.Write(records.data(), records.size_bytes()) || !file.Close())
        return file.ErrorCode();
    return {};
}

} // namespace

std::error_code WriteSnapshotFile(const std::string& path, std::span<const TUstRec> records) {
    const std::string_view bytes(reinterpret_cast<const char*>(records.data()), records.size_bytes());
    std::error_code why;
    switch (common::ReplaceFileAtomically(common::PathFromUtf8(path), bytes, {}, &why)) {
    case common::ReplaceResult::Replaced:
        return {};
    case common::ReplaceResult::RenameRefused:
        // Windows refuses the rename while another program holds the old snapshot open without
        // sharing delete; losing the day's snapshot would be worse than writing it in place.
        return WriteInPlace(path, records);
    default:
        // Rewriting in place when even the temporary could not be written (a full disk, a size
        // limit) would empty the old snapshot and could leave it short; it stays as it was.
        return why ? why : std::make_error_code(std::errc::io_error);
    }
}

} // namespace registrator::archive
