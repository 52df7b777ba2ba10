#include "service/modbus/TcpSocket.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace registrator::service::tcp {

namespace {

void MakeNonBlocking(int socket) {
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    ::fcntl(socket, F_SETFD, FD_CLOEXEC);
}

integration::IpAddress PeerOf(const sockaddr_storage& from) {
    if (from.ss_family == AF_INET6)
        return integration::PeerAddress({reinterpret_cast<const sockaddr_in6&>(from).sin6_addr.s6_addr, 16});
    return integration::PeerAddress(
        {reinterpret_cast<const std::uint8_t*>(&reinterpret_cast<const sockaddr_in&>(from).sin_addr), 4});
}

bool NothingYet() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

} // namespace

Socket Listen(const std::string& address, std::uint16_t port, int backlog, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string where = address + ":" + std::to_string(port);
    if (const int failed = ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        error = "cannot listen on " + where + ": " + ::gai_strerror(failed);
        return kNoSocket;
    }
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    // A restart binds again at once, whatever its last connections left behind.
    if (socket >= 0)
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const bool listening = socket >= 0 && ::bind(socket, found->ai_addr, found->ai_addrlen) == 0 &&
                           ::listen(socket, backlog) == 0;
    const int why = errno;
    ::freeaddrinfo(found);
    if (!listening) {
        error = "cannot listen on " + where + ": " + std::strerror(why);
        if (socket >= 0)
            ::close(socket);
        return kNoSocket;
    }
    MakeNonBlocking(socket);
    return socket;
}

std::uint16_t LocalPort(Socket socket) {
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return 0;
    return ntohs(bound.sin_port);
}

Socket Accept(Socket listener, integration::IpAddress& peer) {
    sockaddr_storage from{};
    socklen_t length = sizeof from;
    const int socket = ::accept(static_cast<int>(listener), reinterpret_cast<sockaddr*>(&from), &length);
    if (socket < 0)
        return kNoSocket;
    peer = PeerOf(from);
    MakeNonBlocking(socket);
    return socket;
}

long Receive(Socket socket, std::uint8_t* buffer, std::size_t size) {
    const ssize_t got = ::recv(static_cast<int>(socket), buffer, size, 0);
    if (got < 0)
        return NothingYet() ? -1 : 0;
    return static_cast<long>(got);
}

long Send(Socket socket, const std::uint8_t* bytes, std::size_t size) {
    const ssize_t sent = ::send(static_cast<int>(socket), bytes, size, MSG_NOSIGNAL);
    if (sent < 0)
        return NothingYet() ? 0 : -1;
    return static_cast<long>(sent);
}

void Close(Socket socket) {
    ::close(static_cast<int>(socket));
}

bool Wait(std::vector<Watch>& watches, int ms) {
    std::vector<pollfd> polled;
    polled.reserve(watches.size());
    for (const Watch& watch : watches)
        polled.push_back({static_cast<int>(watch.Handle),
                          static_cast<short>((watch.Read ? POLLIN : 0) | (watch.Write ? POLLOUT : 0)), 0});
    const int ready = ::poll(polled.data(), polled.size(), ms);
    if (ready < 0)
        return errno == EINTR;
    for (std::size_t i = 0; i < watches.size(); ++i)
        watches[i].Ready = polled[i].revents != 0;
    return true;
}

} // namespace registrator::service::tcp
