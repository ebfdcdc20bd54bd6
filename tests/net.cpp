// The transport on both platforms: host map and refused URLs. (POST bodies and headers: the
// chat tests; TLS verification: net_tls.cpp; cancelling: AiRequests.CancelFromTheWaitDialog.)
#include "data/net.h"

#include "tests/net_servers.h"

#include <gtest/gtest.h>

using kbtest::ScopedHostMap;

TEST(Net, HostMapResolution) {
    struct Case {
        std::string map, host;
        int32_t port;
        std::string url;
    };
    const Case CASES[] = {
        {"", "store.steampowered.com", 443, "https://store.steampowered.com/p?q=1"},
        {"a.example=http://127.0.0.1:1/", "a.example", 443, "http://127.0.0.1:1/p?q=1"},
        {"a.example=http://127.0.0.1:1, B.Example = https://h:2", "b.example", 443, "https://h:2/p?q=1"},
        {"a.example=http://127.0.0.1:1", "c.example", 8443, "https://c.example:8443/p?q=1"},
        {"garbage,,=,a.example", "a.example", 443, "https://a.example/p?q=1"},
    };
    for (const Case& c : CASES) {
        ScopedHostMap map(c.map);
        EXPECT_EQ(netResolveUrl(c.host, c.port, "/p?q=1"), c.url) << c.map;
    }
}

TEST(Net, RejectsHostsThatWouldBendTheUrl) {
    const std::pair<const char*, const char*> CASES[] = {
        {"", "/"}, {"a b", "/"}, {"evil.com/x", "/"}, {"user@evil.com", "/"}, {"a\nb", "/"}, {"ok.test", "no-slash"}};
    for (const auto& [host, path] : CASES) {
        NetRequest req;
        req.host = host;
        req.path = path;
        EXPECT_EQ(netRequest(req).step, NetStep::Request) << host << " " << path;
    }
}
