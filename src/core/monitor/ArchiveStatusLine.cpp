#include "monitor/ArchiveStatusLine.h"

#include "common/DateTime.h"

namespace registrator::monitor {

namespace {

// "Data" of "/station/Data/".
std::string LastFolderName(const std::string& folder) {
    std::string trimmed = folder;
    while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == '\\'))
        trimmed.pop_back();
    const auto slash = trimmed.find_last_of("/\\");
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string Reason(archive::AppendFailure failure, const std::string& systemText, const std::string& folder) {
    switch (failure) {
    case archive::AppendFailure::None:
        return {};
    case archive::AppendFailure::NoFolder:
        return "нет папки " + LastFolderName(folder);
    case archive::AppendFailure::DiskFull:
        return "диск заполнен";
    case archive::AppendFailure::NoPermission:
        return "нет прав на запись";
    case archive::AppendFailure::FileTooLarge:
        return "файл достиг предельного размера";
    case archive::AppendFailure::Other:
        break;
    }
    return "ошибка записи (" + systemText + ")";
}

} // namespace

ArchiveStatusLine DescribeArchive(const archive::AppendStatus& status,
                                  const archive::SnapshotStatus& snapshot,
                                  const std::string& absoluteFolder) {
    ArchiveStatusLine line;
    line.Info = "Архив: " + absoluteFolder;
    // Before the first append the count of today's file is not known yet.
    if (status.Day != 0)
        line.Info += "   записей за сегодня: " + std::to_string(status.RecordsToday);
    const std::string appendReason = Reason(status.Failure, status.SystemText, absoluteFolder);
    if (status.Failure != archive::AppendFailure::None)
        line.Warning = "архив не пишется: " + appendReason;
    if (snapshot.PendingDay != 0) {
        const std::string reason = Reason(snapshot.Failure, snapshot.SystemText, absoluteFolder);
        if (!line.Warning.empty())
            line.Warning += "; ";
        line.Warning += "снимок уставок за " + common::ArchiveDateText(snapshot.PendingDay) + " не записан";
        // Said once when the appends fail for the same reason.
        if (reason != appendReason || status.Failure == archive::AppendFailure::None)
            line.Warning += ": " + reason;
    }
    return line;
}

} // namespace registrator::monitor
