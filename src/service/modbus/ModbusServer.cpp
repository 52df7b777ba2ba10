#include "service/modbus/ModbusServer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <modbus/modbus.h>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace registrator::service {

namespace {

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
void CloseSocket(int socket) {
    closesocket(static_cast<SOCKET>(socket));
}
// Winsock's sets hold sockets by handle, up to FD_SETSIZE of them: more than the clients allowed.
bool FitsSelect(int) {
    return true;
}
// A client that stops reading must not hold up the others for long.
void LimitSending(int socket, int ms) {
    const DWORD timeout = static_cast<DWORD>(ms);
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
}
#else
void CloseSocket(int socket) {
    ::close(socket);
}
// A descriptor past FD_SETSIZE cannot be watched with select: such a client is refused.
bool FitsSelect(int socket) {
    return socket < FD_SETSIZE;
}
void LimitSending(int socket, int ms) {
    timeval timeout{ms / 1000, (ms % 1000) * 1000};
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}
#endif

constexpr int kHeader = 7; // the MBAP header: transaction, protocol, length, unit

} // namespace

struct ModbusServer::Context {
    modbus_t* Modbus = nullptr;
    modbus_mapping_t* Mapping = nullptr;
    ~Context() {
        if (Mapping)
            modbus_mapping_free(Mapping);
        if (Modbus) {
            modbus_set_socket(Modbus, -1); // the sockets are the server's, closed by it
            modbus_free(Modbus);
        }
    }
};

struct ModbusServer::Client {
    int Socket;
    Clock::time_point LastHeard;
};

ModbusServer::ModbusServer() : ModbusServer(Limits{}) {}

ModbusServer::ModbusServer(Limits limits) : limits_(limits), context_(std::make_unique<Context>()) {}

ModbusServer::~ModbusServer() {
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
    if (listener_ >= 0)
        CloseSocket(listener_);
}

bool ModbusServer::Listen(const std::string& address, std::uint16_t port, int unit, std::string& error) {
    unit_ = unit;
    // libmodbus makes and binds the socket; a port of 0 is given as 0 so the system picks one.
    context_->Modbus = modbus_new_tcp(address.c_str(), port);
    if (!context_->Modbus) {
        error = modbus_strerror(errno);
        return false;
    }
    modbus_set_byte_timeout(context_->Modbus, 0, static_cast<std::uint32_t>(limits_.ByteTimeoutMs) * 1000);
    listener_ = modbus_tcp_listen(context_->Modbus, limits_.MaxClients);
    if (listener_ < 0) {
        error = std::string("cannot listen on ") + address + ":" + std::to_string(port) + ": " +
                modbus_strerror(errno);
        return false;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &length) == 0)
        port_ = ntohs(bound.sin_port);
    context_->Mapping = modbus_mapping_new_start_address(0, 0, 0, integration::modbus_map::kBitEnd, 0,
                                                         integration::modbus_map::kRegisterEnd, 0,
                                                         integration::modbus_map::kRegisterEnd);
    if (!context_->Mapping) {
        error = "out of memory for the register map";
        return false;
    }
    worker_ = std::thread([this] { Serve(); });
    return true;
}

void ModbusServer::Publish(const integration::ModbusImage& image) {
    const std::lock_guard lock(publishedMutex_);
    publishedRegisters_ = image.Registers();
    publishedBits_ = image.Bits();
    fresh_ = true;
}

void ModbusServer::TakePublished() {
    const std::lock_guard lock(publishedMutex_);
    if (!fresh_)
        return;
    modbus_mapping_t& mapping = *context_->Mapping;
    std::copy(publishedRegisters_.begin(), publishedRegisters_.end(), mapping.tab_registers);
    std::copy(publishedRegisters_.begin(), publishedRegisters_.end(), mapping.tab_input_registers);
    std::copy(publishedBits_.begin(), publishedBits_.end(), mapping.tab_input_bits);
    fresh_ = false;
}

void ModbusServer::Serve() {
    std::vector<Client> clients;
    while (!stop_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        int highest = listener_;
        for (const Client& client : clients) {
            FD_SET(client.Socket, &readable);
            highest = std::max(highest, client.Socket);
        }
        timeval wait{0, 200 * 1000}; // how soon a stop is seen
        const int ready = select(highest + 1, &readable, nullptr, nullptr, &wait);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        const Clock::time_point now = Clock::now();
        for (auto it = clients.begin(); it != clients.end();) {
            bool keep = true;
            if (FD_ISSET(it->Socket, &readable)) {
                keep = Answer(*it);
                it->LastHeard = now;
            } else {
                keep = now - it->LastHeard < std::chrono::seconds(limits_.IdleSeconds);
            }
            if (keep) {
                ++it;
            } else {
                CloseSocket(it->Socket);
                it = clients.erase(it);
            }
        }
        if (FD_ISSET(listener_, &readable)) {
            const int socket = static_cast<int>(accept(listener_, nullptr, nullptr));
            if (socket >= 0 &&
                (static_cast<int>(clients.size()) >= limits_.MaxClients || !FitsSelect(socket))) {
                CloseSocket(socket);
            } else if (socket >= 0) {
                LimitSending(socket, 1000);
                clients.push_back({socket, now});
            }
        }
        clients_ = static_cast<int>(clients.size());
    }
    for (const Client& client : clients)
        CloseSocket(client.Socket);
    clients_ = 0;
}

bool ModbusServer::Answer(Client& client) {
    modbus_t* modbus = context_->Modbus;
    modbus_set_socket(modbus, client.Socket);
    std::uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    const int length = modbus_receive(modbus, request);
    if (length < 0)
        return false; // closed, torn or malformed
    if (length == 0)
        return true;
    const int unit = request[kHeader - 1];
    const int function = request[kHeader];
    if (unit != unit_ && unit != 255)
        return modbus_reply_exception(modbus, request, MODBUS_EXCEPTION_GATEWAY_TARGET) >= 0;
    if (length < kHeader + 5)
        return modbus_reply_exception(modbus, request, MODBUS_EXCEPTION_ILLEGAL_FUNCTION) >= 0;
    const int address = request[kHeader + 1] << 8 | request[kHeader + 2];
    const int count = request[kHeader + 3] << 8 | request[kHeader + 4];
    if (const int exception = integration::CheckModbusRequest(function, address, count))
        return modbus_reply_exception(modbus, request, static_cast<unsigned>(exception)) >= 0;
    TakePublished();
    return modbus_reply(modbus, request, length, context_->Mapping) >= 0;
}

} // namespace registrator::service
