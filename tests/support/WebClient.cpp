#include "support/WebClient.h"

#include "archive/ArchiveRecords.h"

#include <QTest>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <fstream>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace registrator::web::testing {

void WriteDay(const std::filesystem::path& path, int records) {
    std::ofstream file(path, std::ios::binary);
    archive::TArhivRec record{};
    for (int i = 0; i < records; ++i) {
        record.Time = i / 86400.0;
        for (int n = 0; n < 72; ++n)
            record.Tok[n] = (i + n) % 700;
        file.write(reinterpret_cast<const char*>(&record), sizeof record);
    }
}

namespace {

// The body of a chunked answer and the bytes it takes, once its last chunk is in.
std::optional<std::pair<std::string, std::size_t>> Dechunked(std::string_view body) {
    std::string data;
    for (std::size_t taken = 0;;) {
        const auto lineEnd = body.find("\r\n", taken);
        if (lineEnd == std::string_view::npos)
            return std::nullopt;
        const std::size_t size = std::stoul(std::string(body.substr(taken, lineEnd - taken)), nullptr, 16);
        if (body.size() < lineEnd + 2 + size + 2)
            return std::nullopt;
        data.append(body.substr(lineEnd + 2, size));
        taken = lineEnd + 2 + size + 2;
        if (size == 0)
            return std::pair{data, taken};
    }
}

} // namespace

std::vector<Exchange> SplitAnswers(std::string_view raw, bool headOnly, bool closed) {
    std::vector<Exchange> answers;
    for (auto headEnd = raw.find("\r\n\r\n"); headEnd != std::string_view::npos;
         headEnd = raw.find("\r\n\r\n")) {
        Exchange answer;
        answer.Head = std::string(raw.substr(0, headEnd));
        if (answer.Head.rfind("HTTP/1.", 0) == 0 && answer.Head.size() > 12)
            answer.Status = std::stoi(answer.Head.substr(9, 3));
        const std::string_view rest = raw.substr(headEnd + 4);
        std::size_t taken = rest.size();
        const auto length = answer.Head.find("Content-Length: ");
        const auto chunked = answer.Head.find("Transfer-Encoding: chunked") != std::string::npos
                                 ? Dechunked(rest)
                                 : std::nullopt;
        // The answer to HEAD declares a body it does not send; 204 has none.
        if (headOnly || answer.Status == 204)
            taken = 0;
        else if (length != std::string::npos)
            taken = std::stoul(answer.Head.substr(length + 16));
        else if (chunked)
            taken = chunked->second;
        else if (!closed && answer.Head.find("text/event-stream") == std::string::npos)
            break; // the body runs to the close; an event stream's never ends
        if (rest.size() < taken)
            break;
        answer.Body = chunked ? chunked->first : std::string(rest.substr(0, taken));
        answers.push_back(answer);
        raw = rest.substr(taken);
    }
    return answers;
}

int Connect(quint16 port, const char* from, int receiveBuffer) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (from) {
        ::inet_pton(AF_INET, from, &address.sin_addr);
        (void)::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::vector<Exchange> ReadAnswers(int fd, std::size_t answers, std::chrono::milliseconds limit,
                                  bool headOnly) {
    const auto start = std::chrono::steady_clock::now();
    std::string raw;
    bool closed = false;
    char buffer[16384];
    while (!closed && std::chrono::steady_clock::now() - start < limit &&
           SplitAnswers(raw, headOnly).size() < answers) {
        pollfd poll{fd, POLLIN, 0};
        if (::poll(&poll, 1, 50) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        closed = n <= 0;
        raw.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    const auto took =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::vector<Exchange> result = SplitAnswers(raw, headOnly, closed);
    for (Exchange& answer : result) {
        answer.Took = took;
        answer.Closed = closed;
    }
    return result;
}

std::vector<Exchange> Converse(quint16 port, const std::string& request, std::size_t answers,
                               std::chrono::milliseconds limit) {
    const int fd = Connect(port);
    if (fd < 0)
        return {};
    // Refused halfway, what came back still tells.
    (void)SendAll(fd, request);
    std::vector<Exchange> result = ReadAnswers(fd, answers, limit, request.rfind("HEAD ", 0) == 0);
    ::close(fd);
    return result;
}

Exchange Send(quint16 port, const std::string& request, std::chrono::milliseconds limit) {
    std::vector<Exchange> answers = Converse(port, request, 1, limit);
    return answers.empty() ? Exchange{} : answers.front();
}

std::string Get(const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

std::string HeaderOf(const Exchange& answer, const std::string& name) {
    const std::size_t at = answer.Head.find("\n" + name + ": ");
    return at == std::string::npos ? ""
                                   : answer.Head.substr(at + name.size() + 3, answer.Head.find('\r', at + 1) -
                                                                                  at - name.size() - 3);
}

std::vector<int> StatusesOf(const std::vector<Exchange>& answers) {
    std::vector<int> statuses;
    for (const Exchange& answer : answers)
        statuses.push_back(answer.Status);
    return statuses;
}

long LineCount(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
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

std::uint64_t OwnStatusField(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(name) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stoull(line.substr(prefix.size()));
    return 0;
}

} // namespace registrator::web::testing
