// What the archive addresses serve: a day of any size in bounded memory, and nothing but the archive's
// own regular files, without ever holding up the program or its end.
#ifndef _WIN32 // raw POSIX sockets

#include "ServiceTestSupport.h"
#include "service/web/WebView.h"

#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace registrator::web::testing {

namespace {

// Neither an answer nor a close has come on the connection.
bool StillWaiting(int fd) {
    pollfd poll{fd, POLLIN | POLLRDHUP, 0};
    return ::poll(&poll, 1, 0) == 0;
}

} // namespace

TEST(WebArchiveServing, StreamsADayLargerThanMemoryAndServesNothingButTheArchivesOwnFiles) {
    // On tmpfs, where reading a hole costs no memory; the Data folder is a link to it, as it may be.
    support::TempFolder elsewhere(std::filesystem::exists("/dev/shm")
                                      ? std::filesystem::path("/dev/shm")
                                      : std::filesystem::temp_directory_path());
    auto running = std::make_unique<RunningStation>(0, elsewhere.Path());
    const quint16 port = running->Port();
    ASSERT_NE(port, 0);
    const std::filesystem::path data = running->DataFolder();
    // Without the fix the whole day was read into memory first: a day larger than memory ended the
    // program on bad_alloc.
    std::ofstream(data / "01.12.2026.txt").close();
    std::filesystem::resize_file(data / "01.12.2026.txt", std::uintmax_t{32} << 30);
    WriteDay(data / "05.12.2026.txt", 3);
    // Without the fix links were followed: any file the program could read was served as numbers.
    const std::filesystem::path outside = data.parent_path() / "outside.txt";
    {
        std::ofstream secret(outside);
        for (int i = 0; i < 400; ++i)
            secret << "secret line " << i << '\n';
    }
    std::filesystem::create_symlink(outside, data / "02.12.2026.txt");
    std::filesystem::create_symlink(outside, data / "05.12.2026UST.txt");
    std::filesystem::create_directory(data / "04.12.2026.txt");

    QTest::qWait(1200); // past start-up
    const std::uint64_t residentBefore = OwnStatusField("VmRSS");
    std::uint64_t residentPeak = residentBefore;
    std::string bigStart;
    std::size_t bigBytes = 0;
    std::vector<Exchange> answers;
    const RecordingWatch recording(*running);
    RunBeside(
        [&] {
            const int fd = Connect(port);
            (void)SendAll(fd, Get("/archive/01.12.2026.csv"));
            // 16 MB of it, about 100,000 rows of zeros; the rest is never asked for.
            char buffer[65536];
            for (ssize_t n = 1; n > 0 && bigBytes < (std::size_t{16} << 20);) {
                pollfd poll{fd, POLLIN, 0};
                n = ::poll(&poll, 1, 10000) > 0 ? ::recv(fd, buffer, sizeof buffer, 0) : 0;
                bigStart.append(
                    buffer, bigStart.size() < 4096 ? static_cast<std::size_t>(std::max<ssize_t>(n, 0)) : 0);
                bigBytes += static_cast<std::size_t>(std::max<ssize_t>(n, 0));
                residentPeak = std::max(residentPeak, OwnStatusField("VmRSS"));
                if (bigBytes > (std::size_t{8} << 20) && answers.empty())
                    answers.push_back(Send(port, Get("/health")));
            }
            ::close(fd);
            for (const char* path :
                 {"/archive/02.12.2026.csv", "/archive/04.12.2026.csv", "/archive/05.12.2026/summary.csv"})
                answers.push_back(Send(port, Get(path)));
        },
        std::chrono::seconds(60));

    EXPECT_GE(bigBytes, std::size_t{16} << 20);
    EXPECT_NE(bigStart.find("Transfer-Encoding: chunked"), std::string::npos) << bigStart.substr(0, 300);
    EXPECT_NE(bigStart.find("\r\n00:00:00.000,0,0,0,"), std::string::npos) << bigStart.substr(0, 300);
    std::cout << "resident before " << residentBefore << " kB, at most " << residentPeak
              << " kB while 16 MB of a 32 GiB day went out\n";
    EXPECT_LT(residentPeak, residentBefore + 48 * 1024);
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[0].Status, 200) << "the program did not answer beside the long day";
    EXPECT_EQ(answers[1].Status, 403) << "a link as the day's file";
    EXPECT_EQ(answers[1].Body.find("secret"), std::string::npos) << answers[1].Body;
    EXPECT_EQ(answers[2].Status, 403) << "a folder under the day's name";
    // The summary is made, with the present settings rather than with what the linked snapshot holds.
    EXPECT_EQ(answers[3].Status, 200);
    EXPECT_EQ(answers[3].Body.find("secret"), std::string::npos);
    EXPECT_EQ(answers[3].Body.find(",snapshot\r\n"), std::string::npos);
    EXPECT_EQ(LineCount(answers[3].Body), 73);
    EXPECT_TRUE(recording.KeptUp());

    // Two passes through 32 GiB take minutes. Without the fix a connection waiting longer than 10 s
    // for its answer was closed, and the end of the program waited for the archive thread.
    const std::uint64_t threadsBefore = OwnStatusField("Threads");
    const int summary = Connect(port);
    bool waitedPastTheRule = false;
    RunBeside(
        [&] {
            (void)SendAll(summary, Get("/archive/01.12.2026/summary.csv"));
            std::this_thread::sleep_for(std::chrono::seconds(12));
            waitedPastTheRule = StillWaiting(summary);
        },
        std::chrono::seconds(20));
    EXPECT_TRUE(waitedPastTheRule);
    EXPECT_GT(OwnStatusField("Threads"), threadsBefore) << "the summary's job is not running";
    running.reset();
    ::close(summary);
    // The job, let go, ends by itself at its next block.
    EXPECT_TRUE(QTest::qWaitFor([&] { return OwnStatusField("Threads") <= threadsBefore; }, 10000))
        << OwnStatusField("Threads") << " threads, " << threadsBefore << " before the summary";
}

TEST(WebArchiveServing, AFifoUnderADaysNameHoldsUpNeitherLaterAnswersNorTheEndOfTheProgram) {
    // The program itself, in a folder of its own, so that its end and its settings file can be seen.
    support::TempFolder folder;
    const std::filesystem::path data = folder.Path() / "Data";
    std::filesystem::create_directories(data);
    std::filesystem::copy_file(REGISTRATOR_EXECUTABLE, folder.Path() / "Registrator");
    // Without the fix a FIFO held the single archive thread: later CSVs got no answer, and SIGTERM
    // then hung for good without saving the settings.
    ASSERT_EQ(::mkfifo((data / "03.12.2026.txt").c_str(), 0600), 0);
    WriteDay(data / "05.12.2026.txt", 3);
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();

    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(folder.Path().string()));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(
        QString::fromStdString((folder.Path() / "Registrator").string()),
        {QStringLiteral("--simulate"), QStringLiteral("--web"), QStringLiteral("127.0.0.1:%1").arg(port)});
    ASSERT_TRUE(program.waitForStarted(10000));

    std::vector<Exchange> answers;
    RunBeside(
        [&] {
            for (int i = 0; i < 100 && (answers.empty() || answers[0].Status != 200); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                answers = {Send(port, Get("/health"))};
            }
            for (const char* path : {"/archive/03.12.2026.csv", "/archive/03.12.2026/summary.csv",
                                     "/archive/05.12.2026.csv", "/archive/03.12.2026.csv"})
                answers.push_back(Send(port, Get(path)));
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            answers.push_back(Send(port, Get("/health")));
        },
        std::chrono::seconds(60));
    ASSERT_EQ(answers.size(), 6u);
    ASSERT_EQ(answers[0].Status, 200) << "the program's web view did not come up";
    EXPECT_EQ(StatusesOf(answers), (std::vector<int>{200, 403, 403, 200, 403, 200}));
    EXPECT_EQ(LineCount(answers[3].Body), 4);
    // Still recording: more records today than a moment ago.
    const auto recordsIn = [](const Exchange& health) {
        const auto at = health.Body.find("\"recordsToday\":");
        return at == std::string::npos ? -1 : std::stoi(health.Body.substr(at + 15));
    };
    EXPECT_GE(recordsIn(answers[5]), recordsIn(answers[0]) + 2) << answers[5].Body;

    program.terminate(); // SIGTERM
    EXPECT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.Path() / "Registrator.INI"));
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished(5000);
    }
}

// Without the fix the web view had only ','-separated CSV with English headers, which a spreadsheet
// under Russian regional settings opens in one column.
TEST(WebArchiveServing, ServesEachDayAlsoAsASpreadsheetOpensItBesideThePlainForm) {
    RunningStation running;
    const quint16 port = running.Port();
    ASSERT_NE(port, 0);
    running.Station().Data().Ustavki[1].Name = common::MotorName::FromUtf8("Дробилка");
    WriteDay(running.DataFolder() / "05.12.2026.txt", 3);
    std::vector<Exchange> answers;
    RunBeside(
        [&] {
            for (const char* path : {"/archive/05.12.2026.csv", "/archive/excel/05.12.2026.csv",
                                     "/archive/excel/05.12.2026/summary.csv", "/archive/excel/5.12.2026.csv"})
                answers.push_back(Send(port, Get(path)));
        },
        std::chrono::seconds(30));
    ASSERT_EQ(StatusesOf(answers), (std::vector<int>{200, 200, 200, 400}));
    EXPECT_EQ(answers[0].Body.substr(0, 30), "time,ch1,ch2,ch3,ch4,ch5,ch6,c"); // as it was
    // The tool's --excel form: a byte order mark, ';', decimal commas, the motors named.
    EXPECT_EQ(answers[1].Body.substr(0, 32), "\xEF\xBB\xBFtime;ch1 Дробилка;ch2");
    EXPECT_NE(answers[1].Body.find("\r\n00:00:01,000;1;2;3;"), std::string::npos);
    EXPECT_NE(answers[1].Head.find("filename=\"05.12.2026-excel.csv\""), std::string::npos);
    EXPECT_NE(answers[2].Body.find("\r\n1;Дробилка;"), std::string::npos);
}

} // namespace registrator::web::testing

#endif
