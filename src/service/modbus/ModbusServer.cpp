#include "service/modbus/ModbusServer.h"

#include "integration/ModbusFrame.h"

#include <algorithm>
#include <chrono>

namespace registrator::service {

namespace {

using Clock = std::chrono::steady_clock;
using integration::ModbusFrameCut;

// How soon a stop is seen when nothing else wakes the server.
constexpr int kLongestWaitMs = 200;
// Answers a client has not taken yet: past this, nothing more is read from it until it takes them.
constexpr std::size_t kOutputRoom = 4096;

int MsUntil(Clock::time_point when, Clock::time_point now) {
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(when - now).count());
}

} // namespace

struct ModbusServer::Client {
    tcp::Socket Socket;
    Clock::time_point LastHeard;  // its last byte, or its connection
    Clock::time_point FrameStart; // the first byte of its unfinished frame
    std::vector<std::uint8_t> Input;
    std::vector<std::uint8_t> Output;
    bool Ended = false; // closed by the client, failed, or sent what is no Modbus frame
};

ModbusServer::ModbusServer() : ModbusServer(Limits{}) {}

ModbusServer::ModbusServer(Limits limits) : limits_(limits) {}

ModbusServer::~ModbusServer() {
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
    if (listener_ != tcp::kNoSocket)
        tcp::Close(listener_);
}

bool ModbusServer::Listen(const std::string& address, std::uint16_t port, int unit, std::string& error) {
    unit_ = unit;
    listener_ = tcp::Listen(address, port, limits_.MaxClients, error);
    if (listener_ == tcp::kNoSocket)
        return false;
    port_ = tcp::LocalPort(listener_);
    worker_ = std::thread([this] { Serve(); });
    return true;
}

void ModbusServer::Publish(const integration::ModbusImage& image) {
    const std::lock_guard lock(publishedMutex_);
    published_ = image;
    fresh_ = true;
}

void ModbusServer::TakePublished() {
    const std::lock_guard lock(publishedMutex_);
    if (!fresh_)
        return;
    std::swap(published_, serving_);
    fresh_ = false;
}

void ModbusServer::Serve() {
    std::vector<Client> clients;
    std::vector<tcp::Watch> watches;
    bool acceptFailed = false;
    while (!stop_) {
        // A connection the system would not give (out of descriptors) leaves the listener ready: it is
        // tried again at the next wait, not in a loop.
        watches.assign(1, {listener_, !acceptFailed, false});
        for (const Client& client : clients)
            watches.push_back({client.Socket, client.Output.size() < kOutputRoom, !client.Output.empty()});
        if (!tcp::Wait(watches, MsToNextDeadline(clients)))
            break;
        TakePublished();
        for (std::size_t i = 0; i < clients.size(); ++i)
            if (watches[i + 1].Ready && !Exchange(clients[i]))
                clients[i].Ended = true;
        std::erase_if(clients, [&](const Client& client) {
            if (!client.Ended && !Overdue(client))
                return false;
            tcp::Close(client.Socket);
            return true;
        });
        acceptFailed = watches[0].Ready && !Admit(clients);
        clients_ = static_cast<int>(clients.size());
    }
    for (const Client& client : clients)
        tcp::Close(client.Socket);
    clients_ = 0;
}

bool ModbusServer::Admit(std::vector<Client>& clients) {
    integration::IpAddress peer{};
    bool any = false;
    for (tcp::Socket socket = tcp::Accept(listener_, peer); socket != tcp::kNoSocket;
         socket = tcp::Accept(listener_, peer)) {
        any = true;
        // Before anything of it is read, and before it can take an allowed client's place. Counted
        // first: whoever sees the close sees the count.
        if (!integration::Allows(allowed_, peer)) {
            ++refused_;
            tcp::Close(socket);
            continue;
        }
        // A full server makes room, as the web view does: the client silent longest goes, so that
        // idle connections cannot lock the others out.
        if (static_cast<int>(clients.size()) >= limits_.MaxClients) {
            const auto quietest =
                std::min_element(clients.begin(), clients.end(),
                                 [](const Client& a, const Client& b) { return a.LastHeard < b.LastHeard; });
            tcp::Close(quietest->Socket);
            clients.erase(quietest);
        }
        const Clock::time_point now = Clock::now();
        clients.push_back({socket, now, now, {}, {}, false});
    }
    return any;
}

bool ModbusServer::Exchange(Client& client) {
    if (!Flush(client))
        return false;
    if (client.Output.size() >= kOutputRoom)
        return true;
    std::uint8_t buffer[2 * integration::kLongestModbusFrame];
    const long got = tcp::Receive(client.Socket, buffer, sizeof buffer);
    if (got == 0)
        return false;
    if (got < 0)
        return true;
    const Clock::time_point now = Clock::now();
    if (client.Input.empty())
        client.FrameStart = now;
    client.LastHeard = now;
    client.Input.insert(client.Input.end(), buffer, buffer + got);
    for (;;) {
        const ModbusFrameCut cut = integration::CutModbusFrame(client.Input);
        if (cut.What == ModbusFrameCut::Kind::Malformed)
            return false;
        if (cut.What == ModbusFrameCut::Kind::Partial)
            break;
        integration::AnswerModbusFrame(std::span(client.Input).first(cut.Size), unit_, serving_,
                                       client.Output);
        client.Input.erase(client.Input.begin(),
                           client.Input.begin() + static_cast<std::ptrdiff_t>(cut.Size));
        client.FrameStart = now; // what follows came with this read
    }
    return Flush(client);
}

bool ModbusServer::Flush(Client& client) {
    if (client.Output.empty())
        return true;
    const long sent = tcp::Send(client.Socket, client.Output.data(), client.Output.size());
    if (sent < 0)
        return false;
    client.Output.erase(client.Output.begin(), client.Output.begin() + sent);
    return true;
}

bool ModbusServer::Overdue(const Client& client) const {
    const Clock::time_point now = Clock::now();
    if (client.Input.empty())
        return now - client.LastHeard > std::chrono::seconds(limits_.IdleSeconds);
    return now - client.LastHeard > std::chrono::milliseconds(limits_.ByteTimeoutMs) ||
           now - client.FrameStart > std::chrono::milliseconds(limits_.FrameTimeoutMs);
}

int ModbusServer::MsToNextDeadline(const std::vector<Client>& clients) const {
    const Clock::time_point now = Clock::now();
    int wait = kLongestWaitMs;
    for (const Client& client : clients) {
        const Clock::time_point due =
            client.Input.empty()
                ? client.LastHeard + std::chrono::seconds(limits_.IdleSeconds)
                : std::min(client.LastHeard + std::chrono::milliseconds(limits_.ByteTimeoutMs),
                           client.FrameStart + std::chrono::milliseconds(limits_.FrameTimeoutMs));
        wait = std::min(wait, std::max(0, MsUntil(due, now) + 1));
    }
    return wait;
}

} // namespace registrator::service
