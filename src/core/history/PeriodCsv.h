#pragma once

#include "archive/CsvExport.h"
#include "common/DateTime.h"
#include "history/DigestStore.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace registrator::history {

enum class CsvRows {
    PerMinute, // date, time, then each channel's min, mean, max and records of the minute, from digests
    PerRecord, // date, time, then each channel's reading, from the day files
};

struct CsvRequest {
    common::TDateTime From = 0; // [From, To)
    common::TDateTime To = 0;
    std::vector<int> Channels; // 1..72, in column order
    CsvRows Rows = CsvRows::PerMinute;
    archive::CsvForm Form = archive::CsvForm::Plain;
};

// Takes the next piece of the table: whole rows, about 64 KB at most. Returns false to stop.
using CsvSink = std::function<bool(std::string_view)>;

struct CsvOutcome {
    std::size_t Rows = 0;              // rows after the header
    bool Stopped = false;              // by the sink or the progress callback
    std::vector<std::string> Troubles; // days that could not be read: "DD.MM.YYYY.txt: reason"
};

// The period's table in bounded memory, as the readings export writes a day: the plain form or the
// spreadsheet one (';', decimal comma, columns named with the channel and the motor's name from the
// newest snapshot of the period). Minutes and days without records have no rows.
CsvOutcome WritePeriodCsv(const ArchiveHistory& history, const CsvRequest& request, const CsvSink& sink,
                          Workspace& work, const ProgressCallback& progress = {});

} // namespace registrator::history
