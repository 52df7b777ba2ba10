#include "monitor/ArchiveStatusLine.h"

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

std::string Reason(const archive::AppendStatus& status, const std::string& folder) {
    switch (status.Failure) {
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
    return "ошибка записи (" + status.SystemText + ")";
}

} // namespace

ArchiveStatusLine DescribeArchive(const archive::AppendStatus& status, const std::string& absoluteFolder) {
    ArchiveStatusLine line;
    line.Info = "Архив: " + absoluteFolder;
    // Before the first append the count of today's file is not known yet.
    if (status.Day != 0)
        line.Info += "   записей за сегодня: " + std::to_string(status.RecordsToday);
    if (status.Failure != archive::AppendFailure::None)
        line.Warning = "архив не пишется: " + Reason(status, absoluteFolder);
    return line;
}

} // namespace registrator::monitor
