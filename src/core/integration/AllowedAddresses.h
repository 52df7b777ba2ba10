#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace registrator::integration {

// An IPv6 address in network order. An IPv4 one is held in its IPv4-mapped form (::ffff:a.b.c.d), so a
// client that reaches an IPv4 socket and one that reaches an IPv6 socket from IPv4 are the same client.
using IpAddress = std::array<std::uint8_t, 16>;

// A socket's peer as the system gives it: the 16 bytes of an IPv6 address, or the 4 of an IPv4 one.
IpAddress PeerAddress(std::span<const std::uint8_t> bytes);

// Dotted IPv4 (four decimal parts, none with a leading zero) or IPv6 (with "::" and a dotted tail);
// `ipv4` tells which. False when the text is neither.
bool ParseIpAddress(std::string_view text, IpAddress& address, bool& ipv4);

struct IpNetwork {
    IpAddress Prefix{};
    int Bits = 128; // of the mapped form: an IPv4 /24 is 120
};

// The clients a server serves. No networks: every client.
struct AllowedAddresses {
    std::vector<IpNetwork> Networks;
    std::string Text; // as it was given, for what the program says
};

// "ADDRESS[/BITS][,...]", IPv4 or IPv6; a bare address is /32 or /128. False with `bad` the first
// entry that is neither an address nor a network (an empty one included).
bool ParseAllowedAddresses(std::string_view text, AllowedAddresses& allowed, std::string& bad);

bool Allows(const AllowedAddresses& allowed, const IpAddress& peer);

} // namespace registrator::integration
