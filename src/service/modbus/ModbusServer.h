#pragma once

#include "integration/AllowedAddresses.h"
#include "integration/ModbusImage.h"
#include "service/modbus/TcpSocket.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace registrator::service {

// A read-only Modbus TCP server over the register map. It serves from a thread of its own, from the
// image the scan cycle last published, so the tick never waits on the network and every answer comes
// from one completed cycle. Nothing a client sends changes the program. Its clients are served side by
// side: one that sends its frame slowly, or stops reading, holds up only itself.
class ModbusServer {
public:
    struct Limits {
        int MaxClients = 16; // a newcomer beyond them closes the one silent longest
        int IdleSeconds = 60;
        int ByteTimeoutMs = 100;   // a frame whose bytes stop coming ends its connection,
        int FrameTimeoutMs = 1000; // and so does one not whole this long after its first byte
    };

    ModbusServer();
    explicit ModbusServer(Limits limits);
    ~ModbusServer();
    ModbusServer(const ModbusServer&) = delete;
    ModbusServer& operator=(const ModbusServer&) = delete;

    // Before Listen: only clients from these addresses are served; the others are closed before a byte
    // of theirs is read, and counted. Without it every client is served.
    void AllowOnly(integration::AllowedAddresses allowed) { allowed_ = std::move(allowed); }

    // Listens on an IPv4 address (port 0: any free one) and answers requests for `unit` (and for
    // 255, which Modbus TCP clients send when the unit does not matter). False with `error` saying
    // why when the address cannot be had.
    bool Listen(const std::string& address, std::uint16_t port, int unit, std::string& error);
    std::uint16_t Port() const { return port_; }

    // From the scan cycle: copied, never waited on by the network.
    void Publish(const integration::ModbusImage& image);

    int Clients() const { return clients_.load(); }
    // Connections closed since the start because their address is not allowed.
    std::uint64_t Refused() const { return refused_.load(); }

private:
    struct Client;
    void Serve();
    // False when the system gave no connection.
    bool Admit(std::vector<Client>& clients);
    // False when the client's connection is to end.
    bool Exchange(Client& client);
    bool Flush(Client& client);
    bool Overdue(const Client& client) const;
    int MsToNextDeadline(const std::vector<Client>& clients) const;
    void TakePublished();

    Limits limits_;
    tcp::Socket listener_ = tcp::kNoSocket;
    std::uint16_t port_ = 0;
    int unit_ = 1;
    integration::AllowedAddresses allowed_;

    // Two images: the scan cycle fills one while the server answers from the other, and they change
    // places under the lock, which neither side holds for longer than a copy of the map.
    std::mutex publishedMutex_;
    integration::ModbusImage published_;
    integration::ModbusImage serving_;
    bool fresh_ = false;

    std::atomic<int> clients_{0};
    std::atomic<std::uint64_t> refused_{0};
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

} // namespace registrator::service
