#include "ui/period/PeriodPlot.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace registrator::ui {

namespace {

using history::MsOf;
using history::SeriesPoint;

constexpr std::int64_t kMsPerMinute = 60000;

std::size_t Index(PlotPart part) {
    return static_cast<std::size_t>(part);
}

SeriesPoint Break(common::TDateTime time) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {time, nan, nan, nan, 0};
}

void AppendBreak(std::vector<SeriesPoint>& points, common::TDateTime time) {
    if (!points.empty() && points.back().Records != 0)
        points.push_back(Break(time));
}

const std::vector<SeriesPoint>* PointsOf(const Asked* asked, std::size_t k) {
    if (!asked || k >= asked->Answer.Channels.size())
        return nullptr;
    return &asked->Answer.Channels[k].Points;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

using Stretches = std::vector<std::pair<double, double>>;

Stretches Intersect(const Stretches& a, const Stretches& b) {
    Stretches both;
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        const double from = std::max(a[i].first, b[j].first);
        const double to = std::min(a[i].second, b[j].second);
        if (from < to)
            both.emplace_back(from, to);
        if (a[i].second < b[j].second)
            ++i;
        else
            ++j;
    }
    return both;
}

} // namespace

void PeriodPlot::Clear() {
    for (auto& part : parts_)
        part.reset();
}

void PeriodPlot::Set(PlotPart part, Asked asked) {
    parts_[Index(part)] = std::move(asked);
}

void PeriodPlot::Drop(PlotPart part) {
    parts_[Index(part)].reset();
}

const Asked* PeriodPlot::Get(PlotPart part) const {
    const auto& held = parts_[Index(part)];
    return held ? &*held : nullptr;
}

std::vector<SeriesPoint> PeriodPlot::Drawn(std::size_t k, bool earlier) const {
    const Asked* whole = Get(earlier ? PlotPart::WholeEarlier : PlotPart::Whole);
    const Asked* detail = Get(earlier ? PlotPart::DetailEarlier : PlotPart::Detail);
    const std::vector<SeriesPoint>* outer = PointsOf(whole, k);
    const std::vector<SeriesPoint>* inner = PointsOf(detail, k);
    if (!inner)
        return outer ? *outer : std::vector<SeriesPoint>{};
    const common::TDateTime from = detail->Request.From;
    const common::TDateTime to = detail->Request.To;
    std::vector<SeriesPoint> points;
    if (outer)
        for (const SeriesPoint& p : *outer)
            if (p.Time < from)
                points.push_back(p);
    AppendBreak(points, from);
    points.insert(points.end(), inner->begin(), inner->end());
    AppendBreak(points, to);
    if (outer)
        for (const SeriesPoint& p : *outer)
            if (p.Time >= to)
                points.push_back(p);
    return points;
}

history::SeriesRequest PeriodPlot::TailRequest(PlotPart part) const {
    const Asked& asked = *Get(part);
    const history::SeriesAnswer& answer = asked.Answer;
    // Records: the part in view is short, read again whole.
    if (answer.FromRecords || answer.StepSeconds < 60)
        return asked.Request;
    double last = -std::numeric_limits<double>::infinity();
    for (const history::Series& series : answer.Channels)
        for (auto p = series.Points.rbegin(); p != series.Points.rend(); ++p)
            if (p->Records != 0) {
                last = std::max(last, p->Time);
                break;
            }
    if (std::isinf(last))
        return asked.Request;
    // From the stretch of the last point on, at the same step: exactly as many points as that leaves.
    const auto step = static_cast<std::int64_t>(std::llround(answer.StepSeconds / 60));
    const std::int64_t start = FloorDiv(MsOf(last), kMsPerMinute);
    const std::int64_t end = -FloorDiv(-MsOf(asked.Request.To), kMsPerMinute);
    history::SeriesRequest tail = asked.Request;
    tail.From = last;
    tail.MaxPoints =
        static_cast<std::size_t>(std::max<std::int64_t>(1, -FloorDiv(-end, step) - FloorDiv(start, step)));
    return tail;
}

bool PeriodPlot::SpliceTail(PlotPart part, const history::SeriesRequest& request,
                            const history::SeriesAnswer& tail) {
    auto& held = parts_[Index(part)];
    if (!held || tail.Stopped)
        return true;
    if (request.From == held->Request.From && request.To == held->Request.To) {
        held->Answer = tail;
        return true;
    }
    history::SeriesAnswer& answer = held->Answer;
    if (tail.FromRecords || tail.StepSeconds != answer.StepSeconds ||
        tail.Channels.size() != answer.Channels.size())
        return false;
    const std::int64_t from = MsOf(request.From);
    const auto stepMs = static_cast<std::int64_t>(std::llround(answer.StepSeconds * 1000));
    for (std::size_t k = 0; k < answer.Channels.size(); ++k) {
        std::vector<SeriesPoint>& points = answer.Channels[k].Points;
        while (!points.empty() && (MsOf(points.back().Time) >= from || points.back().Records == 0))
            points.pop_back();
        const std::vector<SeriesPoint>& more = tail.Channels[k].Points;
        if (more.empty())
            continue;
        // Never bridged: the stretches between hold no records.
        if (!points.empty() && MsOf(more.front().Time) - MsOf(points.back().Time) > stepMs)
            points.push_back(Break(more.front().Time));
        points.insert(points.end(), more.begin(), more.end());
    }
    return true;
}

std::vector<std::pair<double, double>> EmptyStretches(const Asked& asked, common::TDateTime until) {
    const double from = asked.Request.From;
    const double end = std::min(asked.Request.To, until);
    if (!(end > from) || asked.Answer.Channels.empty())
        return {};
    const double step = asked.Answer.StepSeconds / 86400;
    // A record's period or two is no stop; the answer from records breaks its lines only after three.
    const double longer = (asked.Answer.FromRecords ? 3 : 1.5) * step;
    Stretches common{{from, end}};
    for (const history::Series& series : asked.Answer.Channels) {
        Stretches empty;
        double covered = from;
        for (const SeriesPoint& p : series.Points) {
            if (p.Records == 0)
                continue;
            if (p.Time - covered > longer)
                empty.emplace_back(covered, p.Time);
            covered = std::max(covered, p.Time + step);
        }
        if (end - covered > longer)
            empty.emplace_back(covered, end);
        common = Intersect(common, empty);
    }
    return common;
}

} // namespace registrator::ui
