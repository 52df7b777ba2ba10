#include "archive/Archive.h"

#include "archive/RecordFiles.h"
#include "common/DateTime.h"

#include <algorithm>
#include <utility>

namespace registrator::archive {

namespace {

constexpr const char* kOpenFailed = "Ошибка открытия файла БД.";
constexpr const char* kNoData = "В БД нет запрашиваемой информации.";

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
    AppendReading(ReadingsPath(common::ArchiveDateText(clock_.Today())), record);
}

void Archive::WriteUst(const channels::UstavkiTable& ustavki) {
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
    WriteSnapshotFile(SnapshotPath(common::ArchiveDateText(clock_.Today())), UstBuf);
}

void Archive::ReadArhiv(const std::string& dateText) {
    const RecordFileRead read = ReadReadingsFile(ReadingsPath(dateText), ArhivBuf);
    if (!read.Opened) {
        messages_.Show(kOpenFailed);
        return;
    }
    ArhivCount = static_cast<std::uint32_t>(read.Records);
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
    if (read.Records == 0)
        messages_.Show(kNoData);
}

} // namespace registrator::archive
