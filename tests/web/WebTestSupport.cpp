#include "WebTestSupport.h"

#include "acquisition/PortFactory.h"
#include "archive/ArchiveRecords.h"
#include "common/DateTime.h"
#include "ui/web/WebView.h"

#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace registrator::web::testing {

RunningProgram::RunningProgram(quint16 webPort) {
    std::filesystem::create_directories(folder_.Path() / "bin");
    std::filesystem::create_directories(folder_.Path() / "Data");
    ui::ProgramEnvironment environment{clock_,
                                       dialogs_,
                                       common::RegionalSettings::Russian(),
                                       (folder_.Path() / "bin" / "Registrator").string(),
                                       folder_.Slash() + "Data/",
                                       [](const channels::UstavkiTable& ustavki, const common::Clock& clock) {
                                           acquisition::PortOptions options;
                                           options.Simulate = true;
                                           return acquisition::MakePort(options, ustavki, clock);
                                       }};
    program_ = std::make_unique<ui::Program>(std::move(environment));
    program_->ServeWeb(QStringLiteral("127.0.0.1"), webPort);
    program_->Start();
    if (program_->Web())
        port_ = program_->Web()->Port();
}

RunningProgram::~RunningProgram() {
    program_->Shutdown();
}

std::string RunningProgram::TodayReadingsPath() const {
    return program_->Archive().ReadingsPath(common::ArchiveDateText(clock_.Today()));
}

std::uint64_t RunningProgram::RecordsToday() const {
    std::error_code error;
    const auto size = std::filesystem::file_size(TodayReadingsPath(), error);
    return error ? 0 : size / sizeof(archive::TArhivRec);
}

Exchange Send(quint16 port, const std::string& request, std::chrono::milliseconds limit) {
    const auto start = std::chrono::steady_clock::now();
    Exchange result;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return result;
    }
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break; // refused halfway: what came back still tells
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    char buffer[16384];
    while (std::chrono::steady_clock::now() - start < limit) {
        pollfd poll{fd, POLLIN, 0};
        if (::poll(&poll, 1, 50) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(n));
        // A keep-alive answer is complete once its declared body is in.
        const auto headEnd = answer.find("\r\n\r\n");
        const auto length = answer.find("Content-Length: ");
        // The answer to HEAD declares a body it does not send.
        const bool head = request.rfind("HEAD ", 0) == 0;
        if (headEnd != std::string::npos && length != std::string::npos && length < headEnd &&
            answer.size() >= headEnd + 4 + (head ? 0 : std::stoul(answer.substr(length + 16))))
            break;
    }
    ::close(fd);
    result.Took =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    if (answer.rfind("HTTP/1.", 0) == 0 && answer.size() > 12)
        result.Status = std::stoi(answer.substr(9, 3));
    const auto headEnd = answer.find("\r\n\r\n");
    result.Head = answer.substr(0, headEnd);
    if (headEnd != std::string::npos)
        result.Body = answer.substr(headEnd + 4);
    return result;
}

std::string Get(const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

void RunBeside(const std::function<void()>& work, std::chrono::milliseconds limit) {
    std::atomic<bool> done = false;
    std::thread thread([&] {
        work();
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done.load(); }, static_cast<int>(limit.count()));
    thread.join(); // the work is bounded by its own limits
}

} // namespace registrator::web::testing
