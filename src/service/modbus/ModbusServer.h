#pragma once

#include "integration/ModbusImage.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace registrator::service {

// A read-only Modbus TCP server over the register map. It serves from a thread of its own, from the
// image the scan cycle last published, so the tick never waits on the network and every answer comes
// from one completed cycle. Nothing a client sends changes the program.
class ModbusServer {
public:
    struct Limits {
        int MaxClients = 16;
        int IdleSeconds = 60;
        int ByteTimeoutMs = 100; // a frame that stops coming ends its connection
    };

    ModbusServer();
    explicit ModbusServer(Limits limits);
    ~ModbusServer();
    ModbusServer(const ModbusServer&) = delete;
    ModbusServer& operator=(const ModbusServer&) = delete;

    // Listens on an IPv4 address (port 0: any free one) and answers requests for `unit` (and for
    // 255, which Modbus TCP clients send when the unit does not matter). False with `error` saying
    // why when the address cannot be had.
    bool Listen(const std::string& address, std::uint16_t port, int unit, std::string& error);
    std::uint16_t Port() const { return port_; }

    // From the scan cycle: copied, never waited on by the network.
    void Publish(const integration::ModbusImage& image);

    int Clients() const { return clients_.load(); }

private:
    struct Client;
    void Serve();
    // False when the client's connection is to end.
    bool Answer(Client& client);
    void TakePublished();

    Limits limits_;
    struct Context;
    std::unique_ptr<Context> context_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    int unit_ = 1;

    std::mutex publishedMutex_;
    std::vector<std::uint16_t> publishedRegisters_;
    std::vector<std::uint8_t> publishedBits_;
    bool fresh_ = false;

    std::atomic<int> clients_{0};
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

} // namespace registrator::service
