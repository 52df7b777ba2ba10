#pragma once

#include "history/PeriodQuery.h"
#include "service/web/ArchiveWork.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace registrator::web {

// Points a series has at most when the page does not say how wide its chart is, and the most it may ask.
constexpr std::size_t kTrendWidth = 2000;
constexpr std::size_t kMostTrendWidth = 10000;

// What /trend/data is asked, "channels=1,5,17&from=2026-12-01T00:00&to=2026-12-08&width=1200": up to 8
// channels, the period [from, to) as the page's date and time fields give it, the chart's width in
// points. On a query it cannot take, nothing, and `error` says why in the operator's words.
std::optional<history::SeriesRequest> ParseTrendQuery(std::string_view query, std::string& error);

// The period's series as JSON, times in milliseconds of the station's clock counted from 1970 as if it
// were UTC (a page shows them with the UTC functions, whatever its own time zone), gaps as nulls:
// {"from","to","step","records","series":[{"channel","name","section","nominal","critical",
//  "t","min","mean","max"}],"troubles"}.
std::string TrendJson(const history::ArchiveHistory& history, const history::SeriesRequest& request,
                      const history::SeriesAnswer& answer);

// /trend/data's work, off the GUI thread: the series from the digests (made where missing) or the day
// files, as one piece of JSON.
class TrendData final : public WholeWork {
public:
    TrendData(history::ArchiveHistory history, history::SeriesRequest request);

    bool Next(std::string& out, const std::function<bool()>& stop) override;

private:
    history::ArchiveHistory history_;
    history::SeriesRequest request_;
};

} // namespace registrator::web
