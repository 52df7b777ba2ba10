#include "history/PeriodQuery.h"

#include "archive/RecordFiles.h"
#include "history/DayRecords.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace registrator::history {

namespace {

constexpr std::int64_t kMsPerMinute = 60000;
constexpr std::int64_t kMsPerDay = 86400000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Minutes a point may stand for; past the last, whole multiples of a month.
constexpr std::int64_t kSteps[] = {1,   2,   3,   4,   5,   6,   10,   12,   15,   20,    30,    60,
                                   120, 180, 240, 360, 480, 720, 1440, 2880, 4320, 10080, 20160, 43200};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
    return -FloorDiv(-a, b);
}

struct Bucket {
    double Min = 0;
    double Max = 0;
    double Sum = 0;
    std::uint64_t Records = 0;

    void Add(double min, double max, double sum, std::uint64_t records) {
        if (records == 0)
            return;
        Min = Records == 0 ? min : std::min(Min, min);
        Max = Records == 0 ? max : std::max(Max, max);
        Sum += sum;
        Records += records;
    }
};

SeriesPoint Gap(common::TDateTime time) {
    return {time, kNaN, kNaN, kNaN, 0};
}

// Buckets into points: each full one a point, each run of empty ones between points one gap.
std::vector<SeriesPoint> PointsOf(const std::vector<Bucket>& buckets,
                                  const std::function<double(std::size_t)>& timeOf) {
    std::vector<SeriesPoint> points;
    bool gapPending = false;
    for (std::size_t i = 0; i < buckets.size(); ++i) {
        const Bucket& b = buckets[i];
        if (b.Records == 0) {
            gapPending = !points.empty();
            continue;
        }
        if (gapPending)
            points.push_back(Gap(timeOf(i)));
        gapPending = false;
        const double mean = std::clamp(b.Sum / static_cast<double>(b.Records), b.Min, b.Max);
        points.push_back({timeOf(i), b.Min, mean, b.Max,
                          static_cast<std::uint32_t>(std::min<std::uint64_t>(b.Records, UINT32_MAX))});
    }
    return points;
}

struct DayPlan {
    std::set<common::TDateTime> Files;
    common::TDateTime Newest = -1;
};

DayPlan PlanDays(const ArchiveHistory& history) {
    DayPlan plan;
    const auto days = history.Days();
    plan.Files.insert(days.begin(), days.end());
    if (!days.empty())
        plan.Newest = days.back();
    return plan;
}

void Trouble(SeriesAnswer& answer, common::TDateTime day, const std::string& why) {
    answer.Troubles.push_back(common::ArchiveDateText(day) +
                              ".txt: " + (why.empty() ? "cannot be read" : why));
}

// The period from digests, `step` minutes a point.
void FromDigests(const ArchiveHistory& history, const SeriesRequest& request, std::int64_t startMinute,
                 std::int64_t endMinute, std::int64_t step, Workspace& work, const ProgressCallback& progress,
                 SeriesAnswer& answer) {
    const std::int64_t origin = FloorDiv(startMinute, step) * step;
    const auto count = static_cast<std::size_t>(CeilDiv(endMinute - origin, step));
    std::vector<std::vector<Bucket>> buckets(request.Channels.size(), std::vector<Bucket>(count));
    const DayPlan plan = PlanDays(history);
    const std::int64_t firstDay = FloorDiv(startMinute, 1440);
    const std::int64_t lastDay = FloorDiv(endMinute - 1, 1440);
    std::vector<DigestEntry> entries;
    for (std::int64_t d = firstDay; d <= lastDay; ++d) {
        const auto day = static_cast<common::TDateTime>(d);
        Progress step_{static_cast<std::size_t>(d - firstDay),
                       static_cast<std::size_t>(lastDay - firstDay + 1), day, false};
        if (progress && !progress(step_)) {
            answer.Stopped = true;
            return;
        }
        if (!plan.Files.count(day))
            continue;
        const bool growing = day == plan.Newest;
        auto opened = history.OpenDay(day, Need::Band, growing, work, false, BuildingStep(progress, step_));
        if (opened.Stopped) {
            answer.Stopped = true;
            return;
        }
        if (!opened.View) {
            if (!opened.Error.empty())
                Trouble(answer, day, opened.Error);
            continue;
        }
        const std::int64_t from = std::max(startMinute, d * 1440) - d * 1440;
        const std::int64_t to = std::min(endMinute, (d + 1) * 1440) - d * 1440;
        for (std::size_t k = 0; k < request.Channels.size(); ++k) {
            const int channel = request.Channels[k];
            const bool hours = step % 60 == 0 && from % 60 == 0 && to % 60 == 0 && !opened.View->HasTail();
            bool read = hours ? opened.View->Hours(channel, entries) : opened.View->Minutes(channel, entries);
            if (!read) {
                // The file lied: made anew from the day file, which is the truth.
                opened = history.OpenDay(day, Need::Band, growing, work, true, BuildingStep(progress, step_));
                if (opened.Stopped) {
                    answer.Stopped = true;
                    return;
                }
                read = opened.View && (hours ? opened.View->Hours(channel, entries)
                                             : opened.View->Minutes(channel, entries));
                if (!read) {
                    Trouble(answer, day, opened.Error);
                    break;
                }
            }
            const std::int64_t unit = hours ? 60 : 1;
            for (std::int64_t i = from / unit; i < CeilDiv(to, unit); ++i) {
                const DigestEntry& e = entries[static_cast<std::size_t>(i)];
                const auto b = static_cast<std::size_t>((d * 1440 + i * unit - origin) / step);
                buckets[k][b].Add(e.Min, e.Max, e.Mean * e.Records, e.Records);
            }
        }
    }
    for (std::size_t k = 0; k < request.Channels.size(); ++k)
        answer.Channels[k].Points = PointsOf(buckets[k], [&](std::size_t i) {
            return TimeOfMs((origin + static_cast<std::int64_t>(i) * step) * kMsPerMinute);
        });
    answer.StepSeconds = static_cast<double>(step) * 60;
}

struct Sample {
    std::int64_t Ms;
    double Value; // NaN: a record without a plausible reading
};

// The period from the day files' records: one point a record when they fit, else buckets of equal width.
void FromRecords(const ArchiveHistory& history, const SeriesRequest& request, std::int64_t fromMs,
                 std::int64_t toMs, Workspace& work, const ProgressCallback& progress, SeriesAnswer& answer) {
    answer.FromRecords = true;
    std::vector<std::vector<Sample>> samples(request.Channels.size());
    const DayPlan plan = PlanDays(history);
    double period = 1.0 / 86400;
    const std::int64_t firstDay = FloorDiv(fromMs, kMsPerDay);
    const std::int64_t lastDay = FloorDiv(toMs - 1, kMsPerDay);
    for (std::int64_t d = firstDay; d <= lastDay; ++d) {
        const auto day = static_cast<common::TDateTime>(d);
        Progress step{static_cast<std::size_t>(d - firstDay),
                      static_cast<std::size_t>(lastDay - firstDay + 1), day, false};
        if (progress && !progress(step)) {
            answer.Stopped = true;
            return;
        }
        if (!plan.Files.count(day))
            continue;
        // The digest only says where the runs of rising time start; one is made if need be.
        const auto opened =
            history.OpenDay(day, Need::Band, day == plan.Newest, work, false, BuildingStep(progress, step));
        if (opened.Stopped) {
            answer.Stopped = true;
            return;
        }
        if (opened.View)
            period = opened.View->Header().Period;
        const std::int64_t from = std::max(fromMs, d * kMsPerDay) - d * kMsPerDay;
        const std::int64_t to = std::min(toMs, (d + 1) * kMsPerDay) - d * kMsPerDay;
        std::string error;
        const bool read = ReadRecordsBetween(
            history.DayPath(day), opened.View ? &opened.View->Header() : nullptr, from, to,
            [&](std::span<const archive::TArhivRec> block) {
                for (const archive::TArhivRec& record : block) {
                    const std::int64_t ms = d * kMsPerDay + std::llround(record.Time * kMsPerDay);
                    for (std::size_t k = 0; k < request.Channels.size(); ++k) {
                        const double v = record.Tok[request.Channels[k] - 1];
                        samples[k].push_back({ms, monitor::IsPlausibleReading(v) ? v : kNaN});
                    }
                }
                return true;
            },
            error, history.LinkPolicy());
        if (!read)
            Trouble(answer, day, error);
    }

    const double width = static_cast<double>(toMs - fromMs) / static_cast<double>(request.MaxPoints);
    const auto gapMs = static_cast<std::int64_t>(3 * period * kMsPerDay);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        std::vector<Sample>& s = samples[k];
        // Two runs of one day (a clock set back) overlap in time; a chart wants them in order.
        std::stable_sort(s.begin(), s.end(), [](const Sample& a, const Sample& b) { return a.Ms < b.Ms; });
        std::vector<SeriesPoint>& points = answer.Channels[k].Points;
        if (s.size() <= request.MaxPoints) {
            for (std::size_t i = 0; i < s.size(); ++i) {
                const common::TDateTime time = TimeOfMs(s[i].Ms);
                const bool apart = i > 0 && s[i].Ms - s[i - 1].Ms > gapMs;
                if (std::isnan(s[i].Value) || apart) {
                    if (!points.empty() && points.back().Records != 0)
                        points.push_back(Gap(time));
                    if (std::isnan(s[i].Value))
                        continue;
                }
                points.push_back({time, s[i].Value, s[i].Value, s[i].Value, 1});
            }
            while (!points.empty() && points.back().Records == 0)
                points.pop_back();
            answer.StepSeconds = period * 86400;
            // The gaps between records count as points too; with them the records may not fit.
            if (points.size() <= request.MaxPoints)
                continue;
            points.clear();
        }
        std::vector<Bucket> buckets(request.MaxPoints);
        for (const Sample& sample : s)
            if (!std::isnan(sample.Value)) {
                const auto b =
                    std::min(request.MaxPoints - 1,
                             static_cast<std::size_t>(static_cast<double>(sample.Ms - fromMs) / width));
                buckets[b].Add(sample.Value, sample.Value, sample.Value, 1);
            }
        points = PointsOf(buckets, [&](std::size_t i) {
            return TimeOfMs(fromMs + static_cast<std::int64_t>(static_cast<double>(i) * width));
        });
        answer.StepSeconds = width / 1000;
    }
}

} // namespace

std::int64_t MsOf(common::TDateTime when) {
    return std::llround(when * static_cast<double>(kMsPerDay));
}

common::TDateTime TimeOfMs(std::int64_t ms) {
    return static_cast<double>(FloorDiv(ms, kMsPerDay)) +
           static_cast<double>(ms - FloorDiv(ms, kMsPerDay) * kMsPerDay) / kMsPerDay;
}

SeriesAnswer QuerySeries(const ArchiveHistory& history, const SeriesRequest& request, Workspace& work,
                         const ProgressCallback& progress) {
    SeriesAnswer answer;
    for (const int channel : request.Channels)
        answer.Channels.push_back({channel, {}});
    const std::int64_t fromMs = MsOf(request.From);
    const std::int64_t toMs = MsOf(request.To);
    const bool channelsFit =
        request.Channels.size() <= kMaxSeries && std::all_of(request.Channels.begin(), request.Channels.end(),
                                                             [](int n) { return n >= 1 && n <= kChannels; });
    if (toMs <= fromMs || request.MaxPoints == 0 || !channelsFit)
        return answer;
    if (static_cast<double>(toMs - fromMs) / static_cast<double>(request.MaxPoints) <=
        kRecordsBelowSeconds * 1000) {
        FromRecords(history, request, fromMs, toMs, work, progress, answer);
        return answer;
    }
    const std::int64_t startMinute = FloorDiv(fromMs, kMsPerMinute);
    const std::int64_t endMinute = CeilDiv(toMs, kMsPerMinute);
    const auto fits = [&](std::int64_t step) {
        return CeilDiv(endMinute, step) - FloorDiv(startMinute, step) <=
               static_cast<std::int64_t>(request.MaxPoints);
    };
    std::int64_t step = 0;
    for (const std::int64_t s : kSteps)
        if (fits(s)) {
            step = s;
            break;
        }
    for (std::int64_t months = 2; step == 0; ++months)
        if (fits(months * 43200))
            step = months * 43200;
    FromDigests(history, request, startMinute, endMinute, step, work, progress, answer);
    return answer;
}

MotorLines LinesOf(const ArchiveHistory& history, common::TDateTime from, common::TDateTime to, int channel) {
    const channels::TUstavka& present = history.Present()[channel];
    MotorLines lines{present.T_Nom, present.T_Max, present.Name.Utf8(), false};
    const std::int64_t firstDay = FloorDiv(MsOf(from), kMsPerDay);
    const std::int64_t lastDay = FloorDiv(MsOf(to) - 1, kMsPerDay);
    const auto days = history.Days();
    for (auto it = days.rbegin(); it != days.rend(); ++it) {
        const auto d = static_cast<std::int64_t>(*it);
        if (d < firstDay)
            break;
        if (d > lastDay)
            continue;
        std::vector<archive::TUstRec> snapshot(archive::kUstRecCount);
        const archive::RecordFileRead read =
            archive::ReadSnapshotFile(history.SnapshotPath(*it), snapshot, history.LinkPolicy());
        if (static_cast<std::size_t>(channel) <= read.Records) {
            const monitor::DayMotors motors =
                monitor::MotorsOfDay(std::span(snapshot.data(), read.Records), history.Present());
            const channels::TUstavka& motor = motors.Motors[channel];
            return {motor.T_Nom, motor.T_Max, motor.Name.Utf8(), true};
        }
    }
    return lines;
}

} // namespace registrator::history
