#include "ArchiveExport.h"
#include "DaySources.h"
#include "FileTrouble.h"
#include "ToolCommand.h"

namespace registrator::tools {

// Block by block, so a day file of any size goes out in bounded memory. The spreadsheet form heads its
// columns with the motors' names of that day.
int ExportReadings(const ToolRun& run) {
    const ToolOptions& options = run.Options;
    const FileTrouble trouble(run.Err, options.File);
    archive::ReadingsStream stream(options.File);
    if (const auto status = trouble.NoReadings(stream))
        return *status;

    std::vector<std::string> names;
    if (run.Form == archive::CsvForm::Spreadsheet) {
        DaySources sources;
        if (!LoadDayMotors(options.File, {}, options.Settings, run.ToolFolder, run.Err, sources))
            for (int n : options.Channels)
                names.push_back(sources.Day.Motors[n].Name.Utf8());
    }
    archive::ReadingsCsv csv(options.Channels, run.Form, names);
    std::string text;
    csv.Header(text);
    for (auto block = stream.Next(); !block.empty() && run.Out; block = stream.Next()) {
        csv.Rows(block, text);
        run.Out.write(text.data(), static_cast<std::streamsize>(text.size()));
        text.clear();
    }
    run.Out.write(text.data(), static_cast<std::streamsize>(text.size()));
    run.Out.flush();

    if (!stream.Error().empty())
        return trouble.ReadFailed(stream);
    if (stream.TrailingBytes() != 0)
        return trouble.Unfinished(stream.TrailingBytes(), stream.Done(), "written");
    return kExitOk;
}

} // namespace registrator::tools
