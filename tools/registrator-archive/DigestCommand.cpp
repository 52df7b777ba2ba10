#include "ArchiveExport.h"
#include "FileTrouble.h"
#include "HistoryFolder.h"
#include "ToolCommand.h"
#include "common/AtomicFile.h"
#include "common/Utf8Path.h"

#include <filesystem>

namespace registrator::tools {

namespace {

// Digests are a cache the program drops silently when it cannot write one; made ahead of time they
// must be kept, so a folder that takes none is reported before a day is read.
std::optional<std::string> CannotWriteDigests(const history::ArchiveHistory& history) {
    namespace fs = std::filesystem;
    const fs::path folder = common::PathFromUtf8(history.DigestFolder());
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        return "cannot make the folder: " + error.message();
    const fs::path probe = folder / ".registrator-archive-probe";
    std::error_code why;
    const common::ReplaceResult written =
        common::ReplaceFileAtomically(probe, "", {}, &why, common::Durability::Cached);
    fs::remove(probe, error);
    if (written != common::ReplaceResult::Replaced)
        return "cannot write there: " + why.message();
    return std::nullopt;
}

} // namespace

// One read of each day file whose digest is missing or stale; the others are only looked at.
int MakeDigests(const ToolRun& run) {
    std::optional<history::ArchiveHistory> history;
    if (const auto status = OpenHistory(run, run.Options.File, history))
        return *status;
    if (const auto why = CannotWriteDigests(*history))
        return FileTrouble(run.Err, history->DigestFolder()).Report(*why);

    ProgressLine progress(run.Err, "digests", false);
    const history::ArchiveHistory::BuildAllResult result = history->BuildAll(progress.Callback());
    progress.End();
    int status = kExitOk;
    for (const std::string& failure : result.Failures)
        status = ReportDay(run.Err, *history, failure);
    run.Out << result.Days << " days: " << result.Built << " digests made, "
            << result.Days - result.Built - result.Failures.size() << " up to date or without records";
    if (!result.Failures.empty())
        run.Out << ", " << result.Failures.size() << " that could not be read";
    run.Out << '\n';
    run.Out.flush();
    return status;
}

} // namespace registrator::tools
