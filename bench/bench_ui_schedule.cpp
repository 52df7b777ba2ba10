// The fast tick of the real main window while the report schedule writes a month's report (31 full days of
// 72 motors, each day file a link to one made here), against the tick with no report being written (ratios):
// as at a month's end, when the day reports have made the days' digests, and with no digest at all, each
// made on the way (the worst case: a first start over an old archive). Only the month is due: every shift
// and day report is there already. A month written is written again, so that the work never stops.
#include "HistoryRig.h"
#include "PlantRig.h"
#include "RatioReporter.h"
#include "common/Utf8Path.h"
#include "service/schedule/ReportScheduler.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

using namespace registrator;

namespace {

namespace fs = std::filesystem;

constexpr int kMonthDays = 31;

struct MonthArchive {
    MonthArchive() {
        fs::remove_all(Root);
        fs::create_directories(Data);
        const std::vector<archive::TArhivRec> day = bench::MakeHistoryDay();
        const fs::path first = Data / (common::ArchiveDateText(bench::kFirst) + ".txt");
        std::ofstream(first, std::ios::binary)
            .write(reinterpret_cast<const char*>(day.data()),
                   static_cast<std::streamsize>(day.size() * sizeof(archive::TArhivRec)));
        for (int d = 1; d < kMonthDays; ++d)
            fs::create_hard_link(first, Data / (common::ArchiveDateText(bench::kFirst + d) + ".txt"));
    }
    ~MonthArchive() {
        std::error_code ignored;
        fs::remove_all(Root, ignored);
    }
    // Everything but the month as written; without `digests`, none: the month is counted from the day files.
    void Reset(bool digests) const {
        fs::remove_all(Reports);
        if (!digests)
            fs::remove_all(Data / "digest");
        fs::create_directories(Reports);
        const history::ArchiveHistory history(Data.string() + "/", bench::HistoryPresent());
        for (const reports::ScheduledReport& report :
             reports::DueReports(Starts, Now, reports::FirstRecordTime(history), {}, {".csv"}))
            if (report.Kind != reports::ReportKind::Month)
                std::ofstream(Reports / common::PathFromUtf8(report.Stem + ".csv"));
    }

    fs::path Root = fs::temp_directory_path() / "registrator-bench-schedule";
    fs::path Data = Root / "Data";
    fs::path Reports = Root / "Reports";
    std::vector<int> Starts{8 * 60, 20 * 60};
    common::TDateTime Now = bench::kFirst + kMonthDays + 10.0 / 1440;
};

enum class Report { None, FromDigests, FromDayFiles };

struct Rig : bench::PlantRig {
    explicit Rig(Report report)
        : PlantRig(bench::BenchFolder("registrator-bench-schedule-tick")),
          window(bench::ShownMainWindow(*this)), report(report) {
        if (report == Report::FromDigests) {
            // The days' digests made once, as the day reports would have made them.
            const history::ArchiveHistory history(Month().Data.string() + "/", data.Ustavki);
            history.BuildAll();
        }
        if (report != Report::None)
            Begin();
    }
    ~Rig() {
        if (scheduler)
            scheduler->Stop();
    }
    // A scheduler of its own over the month, started now.
    static const MonthArchive& Month() {
        static const MonthArchive month;
        return month;
    }
    void Begin() {
        const MonthArchive& month = Month();
        month.Reset(report == Report::FromDigests);
        reportClock.Set(month.Now);
        schedule::ScheduleSettings settings;
        settings.ArchiveFolder = month.Data.string() + "/";
        settings.ReportsFolder = month.Reports.string() + "/";
        settings.ShiftStarts = month.Starts;
        scheduler = std::make_unique<schedule::ReportScheduler>(reportClock, data, settings);
        QObject::connect(scheduler.get(), &schedule::ReportScheduler::reportWritten, [this] { ++written; });
        QObject::connect(scheduler.get(), &schedule::ReportScheduler::checked, [this] { done = true; });
        scheduler->Start();
    }

    std::unique_ptr<ui::MainWindow> window;
    Report report;
    common::SettableClock reportClock;
    std::unique_ptr<schedule::ReportScheduler> scheduler;
    int written = 0;
    bool done = false;
};

void Ticks(benchmark::State& state, Report report) {
    Rig rig(report);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bench::Tick(rig);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (rig.done) {
            // The month written: again from the start, outside the measured time.
            rig.done = false;
            rig.scheduler.reset();
            rig.Begin();
        }
    }
    state.counters["months written"] = rig.written;
}

void TickWithoutReport(benchmark::State& state) {
    Ticks(state, Report::None);
}

void TickWhileMonthReport(benchmark::State& state) {
    Ticks(state, Report::FromDigests);
}

void TickWhileMonthReportFromDayFiles(benchmark::State& state) {
    Ticks(state, Report::FromDayFiles);
}

BENCHMARK(TickWithoutReport)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(TickWhileMonthReport)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(TickWhileMonthReportFromDayFiles)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(TickWithoutReport)->Unit(benchmark::kMicrosecond)->UseManualTime()->Name("TickWithoutReportAgain");

} // namespace

int main(int argc, char** argv) {
    return bench::RunOffscreenWithRatios(
        argc, argv, {{"TickWhileMonthReport/manual_time", "TickWithoutReport/manual_time"}}, 3.0);
}
