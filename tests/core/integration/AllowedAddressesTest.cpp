#include "integration/AllowedAddresses.h"

#include <gtest/gtest.h>

namespace registrator::integration {
namespace {

TEST(AllowedAddresses, ServesTheListedAddressesAndNetworksOfBothFamiliesAndNoOther) {
    const struct {
        const char* List;
        const char* Peer;
        bool Served;
    } cases[] = {
        {"127.0.0.1", "127.0.0.2", false}, // a bare address is /32
        {"192.168.1.20, 10.0.0.0/8", "10.255.1.2", true},
        {"172.16.0.0/12", "172.31.255.255", true}, // a prefix that ends inside a byte
        {"172.16.0.0/12", "172.32.0.0", false},
        {"0.0.0.0/0", "2001:db8::1", false},
        {"10.1.2.3", "::ffff:10.1.2.3", true}, // an IPv4 client seen on an IPv6 socket
        {"2001:db8::/31", "2001:db9:ffff:1::5", true},
        {"2001:db8::/31", "2001:dba::", false},
        {"1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:9", false}, // a bare address is /128
    };
    for (const auto& c : cases) {
        AllowedAddresses allowed;
        std::string bad;
        IpAddress peer{};
        bool ipv4 = false;
        ASSERT_TRUE(ParseAllowedAddresses(c.List, allowed, bad) && ParseIpAddress(c.Peer, peer, ipv4)) << bad;
        EXPECT_EQ(Allows(allowed, peer), c.Served) << c.List << " for " << c.Peer;
        EXPECT_TRUE(Allows(AllowedAddresses{}, peer)) << "no list: everyone, as before";
    }
}

TEST(AllowedAddresses, NamesTheEntryThatIsNoAddressOrNetwork) {
    for (const char* entry :
         {"", "256.0.0.1", "10.0.0", "010.0.0.1", "10.0.0.1/33", "10.0.0.1/", "localhost", "::1/129",
          "1:2:3:4:5:6:7:8:9", "1:2:3:4:5:6:7", "1::2::3", "12345::", "1.2.3.4::", "1:2:", "fe80::1%eth0"}) {
        AllowedAddresses allowed;
        std::string bad = "unset";
        EXPECT_FALSE(ParseAllowedAddresses(std::string("192.168.1.20, ") + entry, allowed, bad)) << entry;
        EXPECT_EQ(bad, entry);
    }
}

} // namespace
} // namespace registrator::integration
