#pragma once

#include "archive/CsvExport.h"
#include "archive/ReadingsStream.h"
#include "channels/ChannelData.h"
#include "monitor/DaySummary.h"
#include "service/web/ArchiveWork.h"

#include <functional>
#include <optional>
#include <string>

namespace registrator::web {

enum class DayCsvKind { Readings, Summary };

// The one place the web view turns a day's archive files into CSV, a piece at a time, so that a day of
// any size takes bounded memory. Only regular files are read, and no file that is itself a symbolic
// link, so nothing outside the archive folder is ever served. `present` gives the switch-off currents,
// which snapshots do not keep, and the thresholds of motors the day's snapshot lacks. Reads files
// only, so it runs off the GUI thread.
class DayCsv final : public ArchiveWork {
public:
    // The spreadsheet form heads the readings' columns with the motors' names of the day, as the export
    // tool does.
    DayCsv(DayCsvKind kind, std::string readingsPath, std::string snapshotPath,
           const channels::UstavkiTable& present, archive::CsvForm form = archive::CsvForm::Plain);

    DayOpening Open() override;
    // Appends the next piece of the text to `out`: for the readings the header and the rows of the
    // first block, then a block of rows a call; for the summary the whole table, after both passes
    // through the day. False once there is nothing more: at the end, after a failure (Error() then
    // says why), or when `stop` said so between two blocks.
    bool Next(std::string& out, const std::function<bool()>& stop) override;
    const std::string& Error() const override { return error_; }

private:
    bool Summarize(std::string& out, const std::function<bool()>& stop);

    // The day's snapshot where it holds the motor, else the present settings.
    monitor::DayMotors DayMotors() const;

    DayCsvKind kind_;
    archive::CsvForm form_;
    std::string readingsPath_;
    std::string snapshotPath_;
    channels::UstavkiTable present_;
    std::optional<archive::ReadingsStream> stream_;
    std::optional<archive::ReadingsCsv> csv_;
    bool done_ = false;
    std::string error_;
};

} // namespace registrator::web
