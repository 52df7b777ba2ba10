// The fast tick of the real main window with the web view attached, with no page and with 20 pages
// reading its event stream (ratio), and how long a pushed tick takes to reach a page's socket.
#include "PlantRig.h"
#include "RatioReporter.h"
#include "acquisition/PortFactory.h"
#include "acquisition/ScanProtocol.h"
#include "archive/Archive.h"
#include "service/web/WebView.h"
#include "ui/app/ErrorBoxes.h"
#include "ui/app/Program.h"
#include "ui/monitor/MainWindow.h"

#include <QApplication>
#include <QHostAddress>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace registrator;

namespace {

struct Rig : bench::PlantRig {
    Rig()
        : PlantRig(std::filesystem::temp_directory_path().string() + "/"),
          window(bench::ShownMainWindow(*this)) {
        web = std::make_unique<web::WebView>(web::WebView::Services{data, archive, clock, *port});
        QString error;
        if (!web->Listen(QHostAddress::LocalHost, 0, error))
            throw std::runtime_error(error.toStdString());
        QObject::connect(window.get(), &ui::MainWindow::displayRefreshed, web.get(),
                         &web::WebView::PublishPanel);
    }
    void Tick() { bench::Tick(*this); }

    std::unique_ptr<ui::MainWindow> window;
    std::unique_ptr<web::WebView> web;
};

// Longer than anything here takes on a loaded machine: past it a benchmark fails rather than hang.
constexpr std::chrono::seconds kPatience{20};

// What a page asks for to be kept live.
void OpenStream(int fd) {
    const char request[] = "GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    (void)::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
}

// Pages reading the event stream on their own thread, as browsers elsewhere would: each from an
// address of its own (any 127.x.y.z is this computer), as one computer may hold only a few.
class Pages {
public:
    Pages(Rig& rig, int count) {
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 10 + static_cast<unsigned>(i));
            if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                throw std::runtime_error("cannot take a page's address");
            address.sin_port = htons(rig.web->Port());
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                throw std::runtime_error("cannot connect a page");
            OpenStream(fd);
            fds_.push_back(fd);
        }
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (rig.web->Pages() < count) {
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("the pages' event streams did not open");
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        reader_ = std::thread([this] {
            std::vector<pollfd> polls;
            for (int fd : fds_)
                polls.push_back({fd, POLLIN, 0});
            char buffer[65536];
            while (!stop_) {
                if (::poll(polls.data(), polls.size(), 100) <= 0)
                    continue;
                for (const pollfd& p : polls)
                    if (p.revents & POLLIN)
                        (void)::recv(p.fd, buffer, sizeof buffer, 0);
            }
        });
    }
    ~Pages() {
        stop_ = true;
        reader_.join();
        for (int fd : fds_)
            ::close(fd);
    }

private:
    std::vector<int> fds_;
    std::atomic<bool> stop_ = false;
    std::thread reader_;
};

void TickWithNoPage(benchmark::State& state) {
    Rig rig;
    for (auto _ : state)
        rig.Tick();
}

void TickWith20Pages(benchmark::State& state) {
    Rig rig;
    Pages pages(rig, 20);
    for (auto _ : state)
        rig.Tick();
    state.counters["pages"] = rig.web->Pages();
}

// Every tick pushed to every page: the upper bound of what the pages can cost a tick.
void TickWith20PagesEachTickPushed(benchmark::State& state) {
    Rig rig;
    rig.web->SetPushIntervalMs(0);
    Pages pages(rig, 20);
    for (auto _ : state)
        rig.Tick();
}

// From the tick that pushes to the moment its event is readable at a page's socket.
void TickToPage(benchmark::State& state) {
    Rig rig;
    Pages others(rig, 19);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(rig.web->Port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    (void)::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    OpenStream(fd);
    char buffer[65536];
    for (auto _ : state) {
        // Past the push interval, with nothing unread, so this tick's event is the one timed.
        std::this_thread::sleep_for(std::chrono::milliseconds(210));
        QCoreApplication::processEvents();
        while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
        const auto start = std::chrono::steady_clock::now();
        rig.Tick();
        pollfd poll{fd, POLLIN, 0};
        while (::poll(&poll, 1, 0) == 0 && std::chrono::steady_clock::now() - start < kPatience)
            QCoreApplication::processEvents();
        if (poll.revents == 0) {
            state.SkipWithError("the tick's event never reached the page");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    ::close(fd);
}

BENCHMARK(TickWithNoPage)->Unit(benchmark::kMicrosecond);
BENCHMARK(TickWith20Pages)->Unit(benchmark::kMicrosecond);
BENCHMARK(TickWith20PagesEachTickPushed)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // A fifth of a second an iteration: a token two in a brief run.
    benchmark::RegisterBenchmark("TickToPage", TickToPage)
        ->Unit(benchmark::kMicrosecond)
        ->UseManualTime()
        ->Iterations(bench::BriefRun(argc, argv) ? 2 : 20);
    return bench::RunOffscreenWithRatios(
        argc, argv,
        {{"TickWith20Pages", "TickWithNoPage"}, {"TickWith20PagesEachTickPushed", "TickWithNoPage"}}, 2.0);
}
