// Trends over a period where the web view and the tool give them, on the files bench_history makes: the
// web view's /trend/data answer for a year of one motor (digests present) against the core query it is
// made from; the tool's CSV of one motor over a month per record (trend --records, and readings run
// day by day as before) against a plain reader of the same files writing the same CSV.
#include "ArchiveExport.h"
#include "HistoryRig.h"
#include "PlantRig.h"
#include "history/PeriodQuery.h"
#include "service/web/WebView.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace registrator;

namespace {

// The web view over the year's folder, with the settings the digests were made with.
struct WebRig : bench::PlantRig {
    WebRig() : PlantRig(bench::Files().Year.string() + "/") {
        data.Ustavki = bench::HistoryPresent();
        web = std::make_unique<web::WebView>(web::WebView::Services{data, archive, clock, *port});
        QString error;
        if (!web->Listen(QHostAddress::LocalHost, 0, error))
            throw std::runtime_error(error.toStdString());
    }
    // One whole answer to `path`, read on a thread of its own while the event loop runs the web view.
    std::string Get(const std::string& path) {
        std::string answer;
        std::atomic<bool> done = false;
        std::thread client([&] {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(web->Port());
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const std::string request =
                "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                    static_cast<ssize_t>(request.size())) {
                char buffer[65536];
                for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                    answer.append(buffer, static_cast<std::size_t>(got));
            }
            ::close(fd);
            done = true;
            // Wakes the event loop, which sleeps meanwhile as the program's own does.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        client.join();
        return answer;
    }

    std::unique_ptr<web::WebView> web;
};

const std::string kYearOfOneMotor = "/trend/data?channels=17&from=2027-01-01&to=2028-01-01";

void BM_TrendDataYear(benchmark::State& state) {
    WebRig rig;
    const std::string first = rig.Get(kYearOfOneMotor);
    const auto points = first.find("\"t\":[");
    if (first.rfind("HTTP/1.1 200", 0) != 0 || points == std::string::npos) {
        state.SkipWithError(("no chart: " + first.substr(0, 200)).c_str());
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(rig.Get(kYearOfOneMotor).size());
    state.counters["bytes"] = static_cast<double>(first.size());
}

// What the answer is made from: the year's series out of the digests, in the benchmark's thread.
void BM_CoreQueryYear(benchmark::State& state) {
    const history::ArchiveHistory year(bench::Files().Year.string(), bench::HistoryPresent());
    history::Workspace work;
    for (auto _ : state) {
        const auto answer =
            history::QuerySeries(year, {bench::kYearFirst, bench::kYearFirst + 365, {17}, 2000}, work);
        benchmark::DoNotOptimize(answer.Channels.data());
    }
}

// Standard output that only counts what it is given.
class CountingBuffer : public std::streambuf {
public:
    std::size_t Bytes = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        Bytes += static_cast<std::size_t>(n);
        return n;
    }
    int_type overflow(int_type c) override {
        ++Bytes;
        return c;
    }
};

std::size_t RunTool(const std::vector<std::string>& args, benchmark::State& state) {
    CountingBuffer counted;
    std::ostream out(&counted);
    std::ostringstream err;
    if (tools::RunArchiveTool(args, out, err) != tools::kExitOk)
        state.SkipWithError(err.str().c_str());
    return counted.Bytes;
}

void BM_ToolTrendMonthRecords(benchmark::State& state) {
    const std::vector<std::string> args = {"trend",      bench::Files().Month.string(),
                                           "--from",     "01.01.2026",
                                           "--to",       "30.01.2026",
                                           "--channels", "17",
                                           "--records"};
    for (auto _ : state)
        benchmark::DoNotOptimize(RunTool(args, state));
}

void BM_ToolReadingsMonth(benchmark::State& state) {
    for (auto _ : state)
        for (int d = 0; d < bench::kDays; ++d)
            benchmark::DoNotOptimize(
                RunTool({"readings", bench::Files().MonthDay(d), "--channels", "17"}, state));
}

void BM_PlainMonthCsv(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::PlainMonthCsv(bench::Files(), 16));
}

BENCHMARK(BM_TrendDataYear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CoreQueryYear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolTrendMonthRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolReadingsMonth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainMonthCsv)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // Aims: the year's answer under 100 ms; the tool's month within 2 times the plain reader.
    return bench::RunOffscreenWithRatios(argc, argv,
                                         {{"BM_TrendDataYear", "BM_CoreQueryYear"},
                                          {"BM_ToolTrendMonthRecords", "BM_PlainMonthCsv"},
                                          {"BM_ToolReadingsMonth", "BM_PlainMonthCsv"}});
}
