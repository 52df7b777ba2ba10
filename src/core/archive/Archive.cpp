#include "archive/Archive.h"

#include "archive/RecordFiles.h"
#include "common/DateTime.h"
#include "common/Utf8Path.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <utility>

namespace registrator::archive {

namespace {

constexpr const char* kOpenFailed = "Ошибка открытия файла БД.";
constexpr const char* kNoData = "В БД нет запрашиваемой информации.";

AppendFailure FailureOf(const std::error_code& code) {
    if (code == std::errc::no_such_file_or_directory || code == std::errc::not_a_directory)
        return AppendFailure::NoFolder;
    if (code == std::errc::no_space_on_device)
        return AppendFailure::DiskFull;
#ifdef EDQUOT
    if (code.value() == EDQUOT && code.category() == std::generic_category())
        return AppendFailure::DiskFull;
#endif
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted ||
        code == std::errc::read_only_file_system)
        return AppendFailure::NoPermission;
    if (code == std::errc::file_too_large)
        return AppendFailure::FileTooLarge;
    return AppendFailure::Other;
}

} // namespace

Archive::Archive(std::string folder, const common::Clock& clock, common::OperatorMessages& messages)
    : folder_(std::move(folder)), clock_(clock), messages_(messages) {}

// The full path is used as given: cutting it short would open some other file than the one named.
std::string Archive::ReadingsPath(const std::string& dateText) const {
    return folder_ + dateText + ".txt";
}

std::string Archive::SnapshotPath(const std::string& dateText) const {
    return folder_ + dateText + "UST.txt";
}

void Archive::WriteArhiv(const channels::ChannelData& data) {
    // Composed apart from ArhivBuf, so a live append never alters a day the viewer has loaded.
    TArhivRec record;
    record.Time = data.Current(1).Time;
    for (int n = 1; n <= channels::kChannelCount; ++n)
        record.Tok[n - 1] = data.Current(n).Value;
    const common::TDateTime today = clock_.Today();
    const AppendResult result = AppendReading(ReadingsPath(common::ArchiveDateText(today)), record);
    if (today != status_.Day) {
        status_.Day = today;
        status_.RecordsToday = 0;
    }
    if (result.Ok) {
        status_.RecordsToday = result.RecordsInFile;
        status_.Failures = 0;
        status_.Failure = AppendFailure::None;
        status_.SystemText.clear();
    } else {
        ++status_.Failures;
        status_.Failure = FailureOf(result.Error);
        status_.SystemText = result.Error.message();
    }
}

bool Archive::WriteUst(const channels::UstavkiTable& ustavki) {
    return WriteToday(ustavki, false);
}

void Archive::EnsureUst(const channels::UstavkiTable& ustavki) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(
        common::PathFromUtf8(SnapshotPath(common::ArchiveDateText(clock_.Today()))), error);
    if (status.type() == std::filesystem::file_type::not_found)
        WriteToday(ustavki, true);
}

void Archive::RetryUst(const channels::UstavkiTable& ustavki) {
    if (snapshot_.PendingDay == 0)
        return;
    // A day that is over is not written under the next day's name; that day has its own snapshot.
    if (snapshot_.PendingDay != clock_.Today()) {
        snapshot_ = {};
        return;
    }
    if (snapshot_.KeepExisting)
        EnsureUst(ustavki);
    else
        WriteUst(ustavki);
}

bool Archive::WriteToday(const channels::UstavkiTable& ustavki, bool keepExisting) {
    for (int k = 1; k <= channels::kChannelCount; ++k) {
        const channels::TUstavka& u = ustavki[k];
        // Every byte is set, padding and unused name bytes to zero, so equal settings give equal files.
        TUstRec& rec = UstBuf[static_cast<std::size_t>(k - 1)];
        rec = TUstRec{};
        const std::string_view name = u.Name.Cp1251();
        const std::size_t length = std::min(name.size(), sizeof rec.Name);
        rec.NameLength = static_cast<std::uint8_t>(length);
        std::copy_n(name.data(), length, rec.Name);
        rec.T_Nom = u.T_Nom;
        rec.T_Max = u.T_Max;
        rec.Moshn = u.Moshn;
    }
    const common::TDateTime today = clock_.Today();
    UstDay = common::ArchiveDateText(today);
    UstRecords = UstBuf.size();
    const std::error_code error = WriteSnapshotFile(SnapshotPath(UstDay), UstBuf);
    if (!error) {
        snapshot_ = {};
        return true;
    }
    snapshot_.PendingDay = today;
    snapshot_.KeepExisting = keepExisting;
    snapshot_.Failure = FailureOf(error);
    snapshot_.SystemText = error.message();
    return false;
}

void Archive::ReadArhiv(const std::string& dateText) {
    const RecordFileRead read = ReadReadingsFile(ReadingsPath(dateText), ArhivBuf);
    if (!read.Opened) {
        messages_.Show(kOpenFailed);
        return;
    }
    ArhivCount = static_cast<std::uint32_t>(read.Records);
    ArhivDay = dateText;
    if (ArhivCount == 0)
        messages_.Show(kNoData);
}

void Archive::ReadUst(const std::string& dateText) {
    const std::string day = dateText == "no" ? common::ArchiveDateText(clock_.Today()) : dateText;
    const RecordFileRead read = ReadSnapshotFile(SnapshotPath(day), UstBuf);
    if (!read.Opened) {
        messages_.Show(kOpenFailed);
        return;
    }
    if (read.Records > 0) {
        UstDay = day;
        UstRecords = read.Records;
    }
    if (read.Records == 0)
        messages_.Show(kNoData);
}

} // namespace registrator::archive
