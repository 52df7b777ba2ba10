#include "history/PeriodCsv.h"

#include "common/NumberText.h"
#include "history/DayRecords.h"
#include "history/PeriodQuery.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace registrator::history {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::size_t kFlushBytes = 60000;

// Whole rows go to the sink once there are enough of them.
class Output {
public:
    explicit Output(const CsvSink& sink) : sink_(sink) { text_.reserve(kFlushBytes + 8192); }
    std::string& Text() { return text_; }
    bool RowDone() {
        ++rows_;
        return text_.size() < kFlushBytes || Flush();
    }
    bool Flush() {
        if (!text_.empty() && !sink_(text_))
            return false;
        text_.clear();
        return true;
    }
    std::size_t Rows() const { return rows_; }

private:
    const CsvSink& sink_;
    std::string text_;
    std::size_t rows_ = 0;
};

void Header(const ArchiveHistory& history, const CsvRequest& request, Output& out) {
    archive::CsvRow row(request.Form);
    row.StartFile(out.Text());
    row.Field("date");
    row.Field("time");
    const bool spreadsheet = request.Form == archive::CsvForm::Spreadsheet;
    for (const int n : request.Channels) {
        std::string title = "ch" + std::to_string(n);
        if (spreadsheet) {
            const std::string name = LinesOf(history, request.From, request.To, n).Name;
            if (!name.empty())
                title += " " + name;
        }
        if (request.Rows == CsvRows::PerRecord) {
            row.Field(title);
            continue;
        }
        for (const char* part : {"min", "mean", "max", "records"})
            row.Field(title + (spreadsheet ? " " : "_") + part);
    }
    row.AppendTo(out.Text());
}

} // namespace

CsvOutcome WritePeriodCsv(const ArchiveHistory& history, const CsvRequest& request, const CsvSink& sink,
                          Workspace& work, const ProgressCallback& progress) {
    CsvOutcome outcome;
    Output out(sink);
    const bool spreadsheet = request.Form == archive::CsvForm::Spreadsheet;
    const char separator = spreadsheet ? ';' : ',';
    const char decimal = spreadsheet ? ',' : '.';
    const std::int64_t fromMs = MsOf(request.From);
    const std::int64_t toMs = MsOf(request.To);
    const bool channelsFit = std::all_of(request.Channels.begin(), request.Channels.end(),
                                         [](int n) { return n >= 1 && n <= kChannels; });
    Header(history, request, out);
    if (toMs <= fromMs || !channelsFit) {
        outcome.Stopped = !out.Flush();
        return outcome;
    }

    const auto days = history.Days();
    const std::set<common::TDateTime> files(days.begin(), days.end());
    const common::TDateTime newest = days.empty() ? -1 : days.back();
    const std::int64_t firstDay = fromMs / kMsPerDay - (fromMs % kMsPerDay < 0);
    const std::int64_t lastDay = (toMs - 1) / kMsPerDay - ((toMs - 1) % kMsPerDay < 0);
    std::vector<std::vector<DigestEntry>> minutes(request.Channels.size());
    const auto stop = [&] {
        outcome.Stopped = true;
        outcome.Rows = out.Rows();
        return outcome;
    };
    for (std::int64_t d = firstDay; d <= lastDay; ++d) {
        const auto day = static_cast<common::TDateTime>(d);
        const Progress step{static_cast<std::size_t>(d - firstDay),
                            static_cast<std::size_t>(lastDay - firstDay + 1), day, false};
        if (progress && !progress(step))
            return stop();
        if (!files.count(day))
            continue;
        const std::int64_t dayFrom = std::max(fromMs, d * kMsPerDay) - d * kMsPerDay;
        const std::int64_t dayTo = std::min(toMs, (d + 1) * kMsPerDay) - d * kMsPerDay;
        const bool wholeDay = dayFrom == 0 && dayTo == kMsPerDay;
        std::string date = common::ArchiveDateText(day);
        date += separator;

        std::optional<ArchiveHistory::Opened> opened;
        // Records of a whole day are read straight through; only part of a day needs the digest's runs.
        if (request.Rows == CsvRows::PerMinute || !wholeDay) {
            opened =
                history.OpenDay(day, Need::Band, day == newest, work, false, BuildingStep(progress, step));
            if (opened->Stopped)
                return stop();
            if (!opened->View && request.Rows == CsvRows::PerMinute) {
                if (!opened->Error.empty())
                    outcome.Troubles.push_back(common::ArchiveDateText(day) + ".txt: " + opened->Error);
                continue;
            }
        }

        if (request.Rows == CsvRows::PerRecord) {
            std::string error;
            bool stopped = false;
            const bool read = ReadRecordsBetween(
                history.DayPath(day), opened && opened->View ? &opened->View->Header() : nullptr, dayFrom,
                dayTo,
                [&](std::span<const archive::TArhivRec> block) {
                    std::string& text = out.Text();
                    for (const archive::TArhivRec& record : block) {
                        text += date;
                        archive::AppendTimeOfDayText(text, record.Time, decimal);
                        for (const int n : request.Channels) {
                            text += separator;
                            common::AppendFloatText(text, record.Tok[n - 1], decimal);
                        }
                        text += "\r\n";
                        if (!out.RowDone()) {
                            stopped = true;
                            return false;
                        }
                    }
                    return true;
                },
                error, history.LinkPolicy());
            if (stopped)
                return stop();
            if (!read)
                outcome.Troubles.push_back(common::ArchiveDateText(day) + ".txt: " + error);
            continue;
        }

        bool lied = false;
        for (int attempt = 0; attempt < 2; ++attempt) {
            lied = false;
            for (std::size_t k = 0; k < request.Channels.size() && !lied; ++k)
                lied = !opened->View->Minutes(request.Channels[k], minutes[k]);
            if (!lied)
                break;
            // The file lied: made anew from the day file, which is the truth.
            opened =
                history.OpenDay(day, Need::Band, day == newest, work, true, BuildingStep(progress, step));
            if (opened->Stopped)
                return stop();
            if (!opened->View)
                break;
        }
        if (lied) {
            outcome.Troubles.push_back(common::ArchiveDateText(day) + ".txt: " + opened->Error);
            continue;
        }
        const auto firstMinute = static_cast<std::size_t>(dayFrom / 60000);
        const auto endMinute = static_cast<std::size_t>((dayTo + 59999) / 60000);
        for (std::size_t m = firstMinute; m < endMinute; ++m) {
            if (std::none_of(minutes.begin(), minutes.end(), [m](const auto& e) { return e[m].Records > 0; }))
                continue;
            std::string& text = out.Text();
            text += date;
            archive::AppendTimeOfDayText(text, static_cast<double>(m) / kMinutesPerDay, decimal);
            for (const auto& entries : minutes) {
                const DigestEntry& e = entries[m];
                for (const double value : {e.Min, e.Mean, e.Max}) {
                    text += separator;
                    if (e.Records > 0)
                        common::AppendFloatText(text, value, decimal);
                }
                text += separator;
                text += std::to_string(e.Records);
            }
            text += "\r\n";
            if (!out.RowDone())
                return stop();
        }
    }
    outcome.Rows = out.Rows();
    outcome.Stopped = !out.Flush();
    return outcome;
}

} // namespace registrator::history
