#include "ArchiveExport.h"
#include "FileTrouble.h"
#include "ToolCommand.h"

#include <span>

namespace registrator::tools {

namespace {

// "11-72" or "20, 30-31": runs of consecutive channels as ranges, in the order given.
std::string ChannelListText(const std::vector<int>& channels) {
    std::string text;
    for (std::size_t i = 0; i < channels.size();) {
        std::size_t last = i;
        while (last + 1 < channels.size() && channels[last + 1] == channels[last] + 1)
            ++last;
        if (!text.empty())
            text += ", ";
        text += std::to_string(channels[i]);
        if (last > i)
            text += "-" + std::to_string(channels[last]);
        i = last + 1;
    }
    return text;
}

} // namespace

int ExportSettings(const ToolRun& run) {
    const ToolOptions& options = run.Options;
    const FileTrouble trouble(run.Err, options.File);
    std::vector<archive::TUstRec> records(archive::kUstRecCount);
    const archive::RecordFileRead read = archive::ReadSnapshotFile(options.File, records);
    if (read.Records == 0)
        return trouble.NoRecord(read, "settings", sizeof(archive::TUstRec));

    const std::vector<int> missing = archive::WriteSettingsCsv(
        run.Out, std::span(records.data(), read.Records), options.Channels, run.Form);

    if (!read.Error.empty())
        return trouble.ReadFailed(read);
    int status = kExitOk;
    if (!missing.empty())
        status =
            trouble.ShortSnapshot(read.Records, std::string(missing.size() == 1 ? "channel " : "channels ") +
                                                    ChannelListText(missing) + " not in it and not written");
    if (read.MoreRecords != 0)
        return trouble.Report("holds " + std::to_string(read.MoreRecords) +
                              " records past the 72 channels; they were not written");
    if (read.TrailingBytes != 0)
        return trouble.Unfinished(read.TrailingBytes, read.Records, "written");
    return status;
}

} // namespace registrator::tools
