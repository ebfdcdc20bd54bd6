// The transport on both platforms: host map and refused URLs. (POST bodies and headers: the
// chat tests; TLS verification: net_tls.cpp; cancelling: AiRequests.CancelFromTheWaitDialog.)
#include "data/net.h"

#include "tests/net_servers.h"

#include <gtest/gtest.h>

// Every loopback test goes through a plain map; these are the spellings and the fallback.
TEST(Net, HostMapResolution) {
    kbtest::ScopedHostMap map("garbage,,=,a.example=http://127.0.0.1:1, B.Example = https://h:2/");
    EXPECT_EQ(netResolveUrl("b.example", 443, "/p?q=1"), "https://h:2/p?q=1");
    EXPECT_EQ(netResolveUrl("c.example", 8443, "/p?q=1"), "https://c.example:8443/p?q=1");
}

TEST(Net, RejectsHostsThatWouldBendTheUrl) {
    const std::pair<const char*, const char*> CASES[] = {
        {"", "/"}, {"a b", "/"}, {"evil.com/x", "/"}, {"user@evil.com", "/"}, {"a\nb", "/"}, {"ok.test", "no-slash"}};
    for (const auto& [host, path] : CASES)
        EXPECT_EQ(netRequest({.host = host, .path = path}).step, NetStep::Request) << host << " " << path;
}
