#include "integration/AllowedAddresses.h"

#include <algorithm>
#include <charconv>

namespace registrator::integration {

namespace {

// A whole decimal or hexadecimal number of at most `digits` digits, with nothing around it.
bool WholeNumber(std::string_view text, std::size_t digits, int base, unsigned& value) {
    if (text.empty() || text.size() > digits)
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseIPv4(std::string_view text, std::span<std::uint8_t, 4> bytes) {
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t dot = i < 3 ? text.find('.') : text.size();
        const std::string_view part = text.substr(0, dot);
        unsigned value = 0;
        // "010" would be eight to some readers and ten to others: neither is guessed.
        if (dot == std::string_view::npos || !WholeNumber(part, 3, 10, value) || value > 255 ||
            (part.size() > 1 && part[0] == '0'))
            return false;
        bytes[i] = static_cast<std::uint8_t>(value);
        text.remove_prefix(i < 3 ? dot + 1 : dot);
    }
    return true;
}

// Groups of 16 bits between colons; the last may be a dotted IPv4 address, two groups, where
// `dottedLast` allows it. False on an empty or malformed group.
bool ParseGroups(std::string_view text, bool dottedLast, std::vector<std::uint16_t>& groups) {
    while (!text.empty()) {
        const std::size_t colon = text.find(':');
        const std::string_view group = text.substr(0, colon);
        if (colon == std::string_view::npos && dottedLast && group.find('.') != std::string_view::npos) {
            std::array<std::uint8_t, 4> v4{};
            if (!ParseIPv4(group, v4))
                return false;
            groups.push_back(static_cast<std::uint16_t>(v4[0] << 8 | v4[1]));
            groups.push_back(static_cast<std::uint16_t>(v4[2] << 8 | v4[3]));
            return true;
        }
        unsigned value = 0;
        if (!WholeNumber(group, 4, 16, value))
            return false;
        groups.push_back(static_cast<std::uint16_t>(value));
        if (colon == std::string_view::npos)
            return true;
        text.remove_prefix(colon + 1);
        if (text.empty())
            return false; // a colon at the end
    }
    return true;
}

bool ParseIPv6(std::string_view text, IpAddress& address) {
    const std::size_t gap = text.find("::");
    const bool shortened = gap != std::string_view::npos;
    std::vector<std::uint16_t> head;
    std::vector<std::uint16_t> tail;
    if (!ParseGroups(text.substr(0, gap), !shortened, head) ||
        (shortened && !ParseGroups(text.substr(gap + 2), true, tail)))
        return false;
    if (shortened ? head.size() + tail.size() > 7 : head.size() != 8)
        return false;
    std::array<std::uint16_t, 8> groups{};
    std::copy(head.begin(), head.end(), groups.begin());
    std::copy(tail.begin(), tail.end(), groups.end() - static_cast<std::ptrdiff_t>(tail.size()));
    for (std::size_t i = 0; i < groups.size(); ++i) {
        address[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
        address[2 * i + 1] = static_cast<std::uint8_t>(groups[i]);
    }
    return true;
}

bool InNetwork(const IpNetwork& network, const IpAddress& peer) {
    const auto whole = static_cast<std::size_t>(network.Bits / 8);
    if (!std::equal(peer.begin(), peer.begin() + static_cast<std::ptrdiff_t>(whole), network.Prefix.begin()))
        return false;
    const int rest = network.Bits % 8;
    const auto mask = static_cast<std::uint8_t>(0xFF << (8 - rest));
    return rest == 0 || (peer[whole] & mask) == (network.Prefix[whole] & mask);
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

} // namespace

IpAddress PeerAddress(std::span<const std::uint8_t> bytes) {
    IpAddress address{};
    if (bytes.size() != address.size()) {
        address[10] = 0xFF;
        address[11] = 0xFF;
    }
    std::copy(bytes.begin(), bytes.end(), address.end() - static_cast<std::ptrdiff_t>(bytes.size()));
    return address;
}

bool ParseIpAddress(std::string_view text, IpAddress& address, bool& ipv4) {
    std::array<std::uint8_t, 4> v4{};
    ipv4 = text.find(':') == std::string_view::npos;
    if (!ipv4)
        return ParseIPv6(text, address);
    if (!ParseIPv4(text, v4))
        return false;
    address = PeerAddress(v4);
    return true;
}

bool ParseAllowedAddresses(std::string_view text, AllowedAddresses& allowed, std::string& bad) {
    AllowedAddresses parsed;
    parsed.Text = std::string(text);
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view entry = Trimmed(text.substr(start, comma - start));
        start = comma + 1;
        const std::size_t slash = entry.find('/');
        IpNetwork network;
        bool ipv4 = false;
        unsigned bits = 0;
        const bool fine =
            ParseIpAddress(entry.substr(0, slash), network.Prefix, ipv4) &&
            (slash == std::string_view::npos ||
             (WholeNumber(entry.substr(slash + 1), 3, 10, bits) && bits <= (ipv4 ? 32u : 128u)));
        if (!fine) {
            bad = std::string(entry);
            return false;
        }
        if (slash != std::string_view::npos)
            network.Bits = static_cast<int>(bits) + (ipv4 ? 96 : 0);
        parsed.Networks.push_back(network);
    }
    allowed = std::move(parsed);
    return true;
}

bool Allows(const AllowedAddresses& allowed, const IpAddress& peer) {
    return allowed.Networks.empty() ||
           std::any_of(allowed.Networks.begin(), allowed.Networks.end(),
                       [&](const IpNetwork& network) { return InNetwork(network, peer); });
}

} // namespace registrator::integration
