#pragma once

#include "integration/AllowedAddresses.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The few socket calls the Modbus server makes, none of them blocking, one source per platform.
namespace registrator::service::tcp {

using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

// A listening socket on an IPv4 address (port 0: any free one); kNoSocket with `error` saying why.
Socket Listen(const std::string& address, std::uint16_t port, int backlog, std::string& error);
std::uint16_t LocalPort(Socket socket);
// The next connection waiting on `listener`, with the address it comes from, or kNoSocket when none is.
Socket Accept(Socket listener, integration::IpAddress& peer);
// Bytes read into `buffer`; 0 once the client has closed or the connection has failed; -1 when
// nothing has come yet.
long Receive(Socket socket, std::uint8_t* buffer, std::size_t size);
// Bytes the system took, 0 when it has no room now; -1 when the connection has failed.
long Send(Socket socket, const std::uint8_t* bytes, std::size_t size);
void Close(Socket socket);

struct Watch {
    Socket Handle = kNoSocket;
    bool Read = false;
    bool Write = false;
    bool Ready = false; // after Wait: something to read, room to write, or the connection ended
};
// Waits up to `ms` for any of `watches` to be ready; false when waiting itself fails.
bool Wait(std::vector<Watch>& watches, int ms);

} // namespace registrator::service::tcp
