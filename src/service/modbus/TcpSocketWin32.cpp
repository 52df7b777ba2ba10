#include "service/modbus/TcpSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace registrator::service::tcp {

namespace {

SOCKET Native(Socket socket) {
    return static_cast<SOCKET>(socket);
}

bool NothingYet() {
    const int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

std::string Reason(int error) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    std::string reason(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason.empty() ? "error " + std::to_string(error) : reason;
}

integration::IpAddress PeerOf(const SOCKADDR_STORAGE& from) {
    if (from.ss_family == AF_INET6)
        return integration::PeerAddress({reinterpret_cast<const sockaddr_in6&>(from).sin6_addr.s6_addr, 16});
    return integration::PeerAddress(
        {reinterpret_cast<const std::uint8_t*>(&reinterpret_cast<const sockaddr_in&>(from).sin_addr), 4});
}

void MakeNonBlocking(SOCKET socket) {
    u_long yes = 1;
    ioctlsocket(socket, FIONBIO, &yes);
}

} // namespace

Socket Listen(const std::string& address, std::uint16_t port, int backlog, std::string& error) {
    // Once for the process; Qt's own sockets start it too, and it stays until the end.
    static const int started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    const std::string where = address + ":" + std::to_string(port);
    if (started != 0) {
        error = "cannot listen on " + where + ": " + Reason(started);
        return kNoSocket;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (const int failed = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        error = "cannot listen on " + where + ": " + Reason(failed);
        return kNoSocket;
    }
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const BOOL yes = TRUE;
    // No other program may take the port over while it is ours.
    if (socket != INVALID_SOCKET)
        setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
    const bool listening = socket != INVALID_SOCKET &&
                           bind(socket, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0 &&
                           listen(socket, backlog) == 0;
    const int why = WSAGetLastError();
    freeaddrinfo(found);
    if (!listening) {
        error = "cannot listen on " + where + ": " + Reason(why);
        if (socket != INVALID_SOCKET)
            closesocket(socket);
        return kNoSocket;
    }
    MakeNonBlocking(socket);
    return static_cast<Socket>(socket);
}

std::uint16_t LocalPort(Socket socket) {
    sockaddr_in bound{};
    int length = sizeof bound;
    if (getsockname(Native(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return 0;
    return ntohs(bound.sin_port);
}

Socket Accept(Socket listener, integration::IpAddress& peer) {
    SOCKADDR_STORAGE from{};
    int length = sizeof from;
    const SOCKET socket = accept(Native(listener), reinterpret_cast<sockaddr*>(&from), &length);
    if (socket == INVALID_SOCKET)
        return kNoSocket;
    peer = PeerOf(from);
    MakeNonBlocking(socket);
    return static_cast<Socket>(socket);
}

long Receive(Socket socket, std::uint8_t* buffer, std::size_t size) {
    const int got = recv(Native(socket), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
    if (got == SOCKET_ERROR)
        return NothingYet() ? -1 : 0;
    return got;
}

long Send(Socket socket, const std::uint8_t* bytes, std::size_t size) {
    const int sent = send(Native(socket), reinterpret_cast<const char*>(bytes), static_cast<int>(size), 0);
    if (sent == SOCKET_ERROR)
        return NothingYet() ? 0 : -1;
    return sent;
}

void Close(Socket socket) {
    closesocket(Native(socket));
}

bool Wait(std::vector<Watch>& watches, int ms) {
    // Winsock's sets hold up to FD_SETSIZE (64) sockets by handle: more than the server ever has.
    fd_set readable;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    for (const Watch& watch : watches) {
        if (watch.Read)
            FD_SET(Native(watch.Handle), &readable);
        if (watch.Write)
            FD_SET(Native(watch.Handle), &writable);
        FD_SET(Native(watch.Handle), &failed);
    }
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    if (select(0, &readable, &writable, &failed, &wait) == SOCKET_ERROR)
        return false;
    for (Watch& watch : watches)
        watch.Ready = FD_ISSET(Native(watch.Handle), &readable) ||
                      FD_ISSET(Native(watch.Handle), &writable) || FD_ISSET(Native(watch.Handle), &failed);
    return true;
}

} // namespace registrator::service::tcp
