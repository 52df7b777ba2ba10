#pragma once

#include "ToolCommand.h"
#include "history/DigestStore.h"

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

namespace registrator::tools {

// The archive folder a period command works on, with the present settings (--settings, else the
// program's settings file beside the tool, else the defaults). Returns an exit status when the folder
// or the settings file cannot be used.
std::optional<int> OpenHistory(const ToolRun& run, const std::string& folder,
                               std::optional<history::ArchiveHistory>& history);

// A day that could not be read ("DD.MM.YYYY.txt: reason"), as that file's trouble.
int ReportDay(std::ostream& err, const history::ArchiveHistory& history, const std::string& trouble);

// How far a long piece of work has come, on one line of standard error rewritten in place.
class ProgressLine {
public:
    // `buildingOnly`: shown only while digests are being made, not for days that have theirs.
    ProgressLine(std::ostream& err, std::string doing, bool buildingOnly);
    history::ProgressCallback Callback();
    // Ends the line, when one was written.
    void End();

private:
    void Show(const history::Progress& progress);

    std::ostream& err_;
    std::string doing_;
    bool buildingOnly_;
    std::optional<std::size_t> shown_; // the days done the line says
    std::size_t width_ = 0;
};

} // namespace registrator::tools
