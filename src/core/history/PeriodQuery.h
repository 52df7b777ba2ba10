#pragma once

#include "common/DateTime.h"
#include "history/DigestStore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace registrator::history {

// The most channels one query draws.
constexpr std::size_t kMaxSeries = 8;
// A point holding this many seconds or fewer is drawn from the 1 s records themselves.
constexpr double kRecordsBelowSeconds = 5;

struct SeriesRequest {
    common::TDateTime From = 0; // date and time; [From, To)
    common::TDateTime To = 0;
    std::vector<int> Channels; // 1..72, at most kMaxSeries
    std::size_t MaxPoints = 2000;
};

// One point of a band chart. Records == 0 marks a gap: the values are NaN, so a chart breaks its line
// there and never bridges hours or days without records.
struct SeriesPoint {
    common::TDateTime Time = 0; // start of the stretch it stands for, or the record's own time
    double Min = 0;
    double Mean = 0;
    double Max = 0;
    std::uint32_t Records = 0;
};

struct Series {
    int Channel = 0;
    std::vector<SeriesPoint> Points; // in time order, never more than MaxPoints
};

struct SeriesAnswer {
    std::vector<Series> Channels; // as asked, in that order
    double StepSeconds = 0;       // the stretch one point stands for (a record's period for records)
    bool FromRecords = false;     // read from the day files rather than from digests
    bool Stopped = false;
    std::vector<std::string> Troubles; // days that could not be read: "DD.MM.YYYY.txt: reason"
};

// The bands of the channels over the period, from digests (made on first need, with `progress`) or,
// zoomed in far enough, from the day files' records. Missing days come out as gaps. `work` keeps its
// memory for the next query of the same thread.
SeriesAnswer QuerySeries(const ArchiveHistory& history, const SeriesRequest& request, Workspace& work,
                         const ProgressCallback& progress = {});

// The thresholds a chart draws as lines for a channel: from the newest snapshot of the period that
// holds it, else the present settings.
struct MotorLines {
    double Nominal = 0;
    double Critical = 0;
    std::string Name; // UTF-8
    bool FromSnapshot = false;
};
MotorLines LinesOf(const ArchiveHistory& history, common::TDateTime from, common::TDateTime to, int channel);

// Milliseconds since 30 December 1899, as a stored date-time rounds to.
std::int64_t MsOf(common::TDateTime when);
common::TDateTime TimeOfMs(std::int64_t ms);

} // namespace registrator::history
