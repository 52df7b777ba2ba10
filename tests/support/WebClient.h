#pragma once

#include <QtGlobal>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A plain client of the web view, from raw sockets up, for its tests; Linux only.
namespace registrator::web::testing {

// One HTTP answer as a plain socket read it; a chunked body comes unchunked. The status is 0 when
// nothing came back.
struct Exchange {
    int Status = 0;
    std::string Head;
    std::string Body;
    std::chrono::microseconds Took{};
    bool Closed = false; // the server closed the connection after it
};
// The whole answers one after another in what a connection read; once it is `closed`, an answer
// without a length runs to the end. An event stream counts once its head is in.
std::vector<Exchange> SplitAnswers(std::string_view raw, bool headOnly = false, bool closed = false);

// A connected socket to the program, from `from` when given (any 127.x.y.z is this computer: another
// client address without another computer), with a small receive buffer when asked; -1 when refused.
int Connect(quint16 port, const char* from = nullptr, int receiveBuffer = 0);
bool SendAll(int fd, std::string_view bytes);
// Reads until `answers` whole answers are in, the server closes, or `limit` passes.
std::vector<Exchange> ReadAnswers(int fd, std::size_t answers, std::chrono::milliseconds limit,
                                  bool headOnly = false);
// Sends `request` as it is, off the GUI thread, on a connection of its own, and reads as above.
std::vector<Exchange> Converse(quint16 port, const std::string& request, std::size_t answers,
                               std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
Exchange Send(quint16 port, const std::string& request,
              std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
std::string Get(const std::string& path);
// A header's value in an answer; empty when it has none.
std::string HeaderOf(const Exchange& answer, const std::string& name);
std::vector<int> StatusesOf(const std::vector<Exchange>& answers);
long LineCount(const std::string& text);

// A day of `records` readings, each channel's current rising by one a record.
void WriteDay(const std::filesystem::path& path, int records);

// A number from /proc/self/status: "VmRSS" in kB, "Threads".
std::uint64_t OwnStatusField(const char* name);

// Runs `work` on its own thread while the event loop keeps the program going; waits at most `limit`.
void RunBeside(const std::function<void()>& work, std::chrono::milliseconds limit);

} // namespace registrator::web::testing
