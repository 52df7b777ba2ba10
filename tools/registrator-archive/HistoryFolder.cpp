#include "HistoryFolder.h"

#include "ArchiveExport.h"
#include "DaySources.h"
#include "FileTrouble.h"
#include "common/Utf8Path.h"

#include <algorithm>
#include <filesystem>

namespace registrator::tools {

std::optional<int> OpenHistory(const ToolRun& run, const std::string& folder,
                               std::optional<history::ArchiveHistory>& history) {
    std::error_code error;
    const auto status = std::filesystem::status(common::PathFromUtf8(folder), error);
    if (!std::filesystem::is_directory(status))
        return FileTrouble(run.Err, folder)
            .Report(std::filesystem::exists(status) ? "not a folder" : "no such folder");
    PresentSettings present;
    if (const auto trouble = LoadPresentSettings(run.Options.Settings, run.ToolFolder, run.Err, present))
        return trouble;
    history.emplace(folder, present.Motors, present.Source);
    return std::nullopt;
}

int ReportDay(std::ostream& err, const history::ArchiveHistory& history, const std::string& trouble) {
    // "06.12.2026.txt: reason"
    const std::size_t colon = trouble.find(": ");
    return FileTrouble(err, history.Folder() + trouble.substr(0, colon))
        .Report(colon == std::string::npos ? "cannot be read" : trouble.substr(colon + 2));
}

ProgressLine::ProgressLine(std::ostream& err, std::string doing, bool buildingOnly)
    : err_(err), doing_(std::move(doing)), buildingOnly_(buildingOnly) {}

history::ProgressCallback ProgressLine::Callback() {
    return [this](const history::Progress& progress) {
        if ((progress.Building || !buildingOnly_) && shown_ != progress.Done)
            Show(progress);
        return true;
    };
}

void ProgressLine::Show(const history::Progress& progress) {
    shown_ = progress.Done;
    std::string line = kToolPrefix + doing_ + ": " + std::to_string(progress.Done) + " of " +
                       std::to_string(progress.Total) + " days";
    if (progress.Done < progress.Total)
        line += ", now " + common::ArchiveDateText(progress.Day);
    // Blanks over what a longer line before it left.
    const std::size_t length = line.size();
    line.resize(std::max(length, width_), ' ');
    width_ = length;
    err_ << '\r' << line << std::flush;
}

void ProgressLine::End() {
    if (shown_)
        err_ << '\n';
    shown_.reset();
}

} // namespace registrator::tools
