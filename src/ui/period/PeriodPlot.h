#pragma once

#include "history/PeriodQuery.h"

#include <optional>
#include <utility>
#include <vector>

namespace registrator::ui {

// A query of the period's bands and its answer.
struct Asked {
    history::SeriesRequest Request;
    history::SeriesAnswer Answer;
};

// The parts of what the period window draws: the whole period, and once the operator zooms in a finer
// answer for about the part in view; each with the same span one period earlier when it is overlaid.
enum class PlotPart { Whole, WholeEarlier, Detail, DetailEarlier };

// What the period window draws, put together from the answers it holds.
class PeriodPlot {
public:
    void Clear();
    void Set(PlotPart part, Asked asked);
    void Drop(PlotPart part);
    const Asked* Get(PlotPart part) const;
    // The answer in view: the detail when there is one, else the whole period.
    const Asked* InView() const {
        return Get(PlotPart::Detail) ? Get(PlotPart::Detail) : Get(PlotPart::Whole);
    }

    // Motor `k`'s points in time order: the whole period's outside the detail's range and the detail's
    // inside it, a break between them; the earlier span's the same way.
    std::vector<history::SeriesPoint> Drawn(std::size_t k, bool earlier) const;

    // The query that brings `part` up to the newest records.
    history::SeriesRequest TailRequest(PlotPart part) const;
    // The answer to a TailRequest in place of what `part` held from its start on; false when it does
    // not fit (another step), and the part wants asking again whole.
    bool SpliceTail(PlotPart part, const history::SeriesRequest& request, const history::SeriesAnswer& tail);

private:
    std::optional<Asked> parts_[4];
};

// Stretches of [from, until) without a record of any of the answer's channels: days and hours the
// recorder wrote nothing, to shade. `until` leaves out what is yet to come.
std::vector<std::pair<double, double>> EmptyStretches(const Asked& asked, common::TDateTime until);

} // namespace registrator::ui
