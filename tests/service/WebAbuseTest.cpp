// Hostile and careless clients against the running program: every one gets a 4xx or is let go, and the
// scan cycle and the archive go on as before.
#ifndef _WIN32 // raw POSIX sockets

#include "ServiceTestSupport.h"
#include "service/web/ArchiveDate.h"
#include "service/web/WebListener.h"
#include "service/web/WebView.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace registrator::web::testing {

namespace {

// A connection that is opened and then left alone, or asks and never reads the answer.
int OpenQuietly(quint16 port, const std::string& request = {}) {
    const int fd = Connect(port, nullptr, 4096);
    if (fd >= 0 && !request.empty())
        (void)SendAll(fd, request);
    return fd;
}

} // namespace

TEST(WebArchiveDate, TakesOnlyRealDaysWrittenInFull) {
    EXPECT_EQ(ParseArchiveDate("06.12.2026"), "06.12.2026");
    EXPECT_EQ(ParseArchiveDate("29.02.2024"), "29.02.2024");
    for (const char* bad : {"29.02.2025", "31.04.2026", "00.01.2026", "01.13.2026", "6.12.2026", "06.12.26",
                            "06-12-2026", "06.12.20266", "0a.12.2026", "06.12.2026/..", "../06.12.20", "",
                            "31.12.1899", "+6.12.2026", " 6.12.2026"})
        EXPECT_FALSE(ParseArchiveDate(bad).has_value()) << bad;
}

TEST(WebAbuse, AnswersEveryTraversalBadDateAndNonReadWithA4xxAndCountsIt) {
    RunningStation running;
    ASSERT_NE(running.Port(), 0);
    WriteDay(running.DataFolder() / "05.12.2026.txt", 3);
    const std::string longName(70 * 1024, 'a');
    const std::vector<std::pair<std::string, int>> cases = {
        {Get("/archive/../../etc/passwd"), 404},
        {Get("/archive/..%2f..%2fetc%2fpasswd"), 400},
        {Get("/archive/%2e%2e/%2e%2e/etc/passwd.csv"), 400},
        {Get("/archive/%252e%252e/x.csv"), 400},
        {Get("/archive/..\\..\\Registrator.INI"), 400},
        {Get("/archive/05.12.2026/../../../etc/passwd"), 404},
        {Get("/archive/05.12.2026.csv/../summary.csv"), 400},
        {Get("//etc/passwd"), 404},
        {Get("/archive/31.02.2026.csv"), 400},
        {Get("/archive/5.12.2026.csv"), 400},
        {Get("/archive/05.12.26.csv"), 400},
        {Get("/archive/05.12.2026UST.csv"), 400},
        {Get("/archive/04.12.2026.csv"), 404}, // a real day, not recorded
        {Get("/motor/0"), 404},
        {Get("/motor/73"), 404},
        {Get("/motor/07"), 404},
        {Get("/" + longName), 414},
        {"GET / HTTP/1.1\r\nX-Pad: " + longName + "\r\n\r\n", 431},
        {"POST / HTTP/1.1\r\nContent-Length: 0\r\n\r\n", 405},
        {"PUT /health HTTP/1.1\r\n\r\n", 405},
        {"DELETE /archive/05.12.2026.csv HTTP/1.1\r\n\r\n", 405},
        {"OPTIONS * HTTP/1.1\r\n\r\n", 405},
        {"GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 400},
        {"GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nno colon here\r\n\r\n", 400},
        {"GET /\r\n\r\n", 400},
        {"\x16\x03\x01\x02\x07\x01\x05\x01\xfc\x03\x03\r\n\r\n", 400}, // a TLS hello
        {"GET http://example.com/ HTTP/1.1\r\n\r\n", 400},
    };
    std::vector<int> statuses;
    Exchange day;
    Exchange summary;
    Exchange head;
    RunBeside(
        [&] {
            for (const auto& [request, expected] : cases)
                statuses.push_back(Send(running.Port(), request).Status);
            day = Send(running.Port(), Get("/archive/05.12.2026.csv"));
            summary = Send(running.Port(), Get("/archive/05.12.2026/summary.csv"));
            head = Send(running.Port(), "HEAD /archive/05.12.2026.csv HTTP/1.1\r\n\r\n");
        },
        std::chrono::seconds(60));
    ASSERT_EQ(statuses.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(statuses[i], cases[i].second) << cases[i].first.substr(0, 60);

    EXPECT_EQ(day.Status, 200);
    EXPECT_NE(day.Head.find("Content-Disposition: attachment; filename=\"05.12.2026.csv\""),
              std::string::npos)
        << day.Head;
    EXPECT_EQ(
        day.Body.substr(0, day.Body.find("\r\n")), "time,ch1" + [] {
            std::string rest;
            for (int n = 2; n <= 72; ++n)
                rest += ",ch" + std::to_string(n);
            return rest;
        }());
    EXPECT_EQ(std::count(day.Body.begin(), day.Body.end(), '\n'), 4); // header and three records
    EXPECT_EQ(summary.Status, 200);
    EXPECT_EQ(std::count(summary.Body.begin(), summary.Body.end(), '\n'), 73);
    EXPECT_NE(summary.Head.find("Content-Disposition: attachment; filename=\"05.12.2026-summary.csv\""),
              std::string::npos)
        << summary.Head;
    // A streamed day has no length before it is read through: HEAD says what GET says, chunked.
    EXPECT_EQ(head.Status, 200);
    EXPECT_TRUE(head.Body.empty());
    EXPECT_EQ(head.Head, day.Head);
    EXPECT_EQ(running.Web()->Listener().Rejected(), cases.size());
}

TEST(WebAbuse, IdleCrowdsStalledReadersAndHugeHeadsLeaveScanningAndArchivingAsTheyWere) {
    RunningStation running;
    ASSERT_NE(running.Port(), 0);
    // A long day whose CSV (several megabytes) stalled clients ask for and never read.
    WriteDay(running.DataFolder() / "01.12.2026.txt", 20000);
    // The main window refreshes after each scan cycle; without it, the cycles themselves are counted.
    int refreshes = 0;
    QObject::connect(&running.Station().Recorder(), &service::Recorder::scanned, [&] { ++refreshes; });

    QTest::qWait(1200); // past start-up
    const auto quietRecords = running.RecordsToday();
    refreshes = 0;
    QElapsedTimer quiet;
    quiet.start();
    QTest::qWait(4000);
    const double quietSeconds = quiet.elapsed() / 1000.0;
    const double quietRefreshRate = refreshes / quietSeconds;
    const auto quietAppended = running.RecordsToday() - quietRecords;

    const auto busyRecords = running.RecordsToday();
    refreshes = 0;
    QElapsedTimer busy;
    busy.start();
    Exchange good;
    std::size_t idleOpened = 0;
    std::vector<int> statusesOfHugeHeads;
    RunBeside(
        [&] {
            std::vector<int> quiet;
            for (int i = 0; i < 1000; ++i)
                if (const int fd = OpenQuietly(running.Port()); fd >= 0)
                    quiet.push_back(fd);
            idleOpened = quiet.size();
            for (int i = 0; i < 3; ++i)
                quiet.push_back(OpenQuietly(running.Port(), Get("/archive/01.12.2026.csv")));
            for (int i = 0; i < 5; ++i)
                quiet.push_back(OpenQuietly(running.Port(), Get("/stream")));
            for (int i = 0; i < 5; ++i)
                statusesOfHugeHeads.push_back(
                    Send(running.Port(),
                         "GET / HTTP/1.1\r\nX-Pad: " + std::string(64 * 1024, 'x') + "\r\n\r\n")
                        .Status);
            good = Send(running.Port(), Get("/health"));
            // Held until the four seconds are up.
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            for (int fd : quiet)
                if (fd >= 0)
                    ::close(fd);
        },
        std::chrono::seconds(30));
    const double busySeconds = busy.elapsed() / 1000.0;
    const double busyRefreshRate = refreshes / busySeconds;
    const auto busyAppended = running.RecordsToday() - busyRecords;

    std::cout << "quiet: " << quietRefreshRate << " refreshes/s, " << quietAppended << " records in "
              << quietSeconds << " s; abused: " << busyRefreshRate << " refreshes/s, " << busyAppended
              << " records in " << busySeconds << " s; " << idleOpened
              << " idle connections; a good request took " << good.Took.count() << " us\n";
    EXPECT_EQ(idleOpened, 1000u);
    EXPECT_EQ(good.Status, 200) << good.Head;
    EXPECT_NE(good.Body.find("\"port\":\"simulated\""), std::string::npos);
    for (int status : statusesOfHugeHeads)
        EXPECT_EQ(status, 431);
    // The archive keeps its one record a second, and the scan cycle is never held up for long (the
    // bounds only catch a stalled loop, not a slow machine).
    EXPECT_GE(busyAppended + 1, static_cast<std::uint64_t>(busySeconds));
    EXPECT_GE(quietAppended + 1, static_cast<std::uint64_t>(quietSeconds));
    EXPECT_GT(busyRefreshRate * 2, quietRefreshRate);
    // Once the crowd has gone, so have its connections: nothing is kept for it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return running.Web()->Listener().Connections() == 0; }, 5000))
        << running.Web()->Listener().Connections() << " connections left";
    EXPECT_EQ(running.Web()->Pages(), 0);
}

// With every connection holding a half-sent head, a newcomer still sending its request was reset
// instead of reading its 503 (its request was left unread at the close), until those heads' 10 s ran out.
TEST(WebAbuse, ANewcomerToConnectionsAllHoldingHalfHeadsReads503AndAnOrderlyClose) {
    RunningStation running;
    ASSERT_NE(running.Port(), 0);
    const RecordingWatch watch(running);
    std::vector<int> held;
    std::size_t heldAnswered = 0;
    std::string raw;
    bool restSent = false;
    long lastRead = -1;
    RunBeside(
        [&] {
            // Each one's first request answered shows the program has read the half head behind it.
            for (int i = 0; i < WebListener::kMaxConnections; ++i)
                held.push_back(OpenQuietly(running.Port(), Get("/health") + "GET / HTTP/1.1\r\n"));
            for (int fd : held)
                heldAnswered += ReadAnswers(fd, 1, std::chrono::seconds(5)).size();
            const int fd = Connect(running.Port());
            (void)SendAll(fd, "GET /health HTTP/1.1\r\n");
            pollfd answered{fd, POLLIN, 0};
            (void)::poll(&answered, 1, 5000);
            restSent = SendAll(fd, "Host: 127.0.0.1\r\n\r\n");
            char buffer[512];
            while ((lastRead = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                raw.append(buffer, static_cast<std::size_t>(lastRead));
            ::close(fd);
            for (int fd : held)
                ::close(fd);
        },
        std::chrono::seconds(30));
    EXPECT_EQ(heldAnswered, static_cast<std::size_t>(WebListener::kMaxConnections));
    EXPECT_EQ(raw.substr(0, 12), "HTTP/1.1 503") << raw;
    EXPECT_NE(raw.find("\r\nContent-Security-Policy: default-src 'none';"), std::string::npos) << raw;
    EXPECT_TRUE(restSent);
    EXPECT_EQ(lastRead, 0) << "closed in order, not reset";
    EXPECT_TRUE(watch.KeptUp());
}

} // namespace registrator::web::testing

#endif
