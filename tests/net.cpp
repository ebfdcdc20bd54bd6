// The transport on both platforms: host map and refused URLs. (POST bodies and headers: the
// chat tests; TLS verification: net_tls.cpp; cancelling: AiRequests.CancelFromTheWaitDialog;
// kept connections: the store jobs' connection counts.)
#include "data/net.h"

#include "tests/net_servers.h"

#include <gtest/gtest.h>

#include <tuple>

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

// The send limit bounds silence while the request goes out, the receive limit every wait
// after it: a body that comes a byte every 200 ms passes a 600 ms receive limit beside a
// 100 ms send limit, and fails a 100 ms receive limit.
TEST(Net, ReceiveLimitRulesTheWaitsForTheAnswer) {
    netSetTestTimeoutMs(0);
    const std::tuple<long, long, NetStep> cases[] = {{100, 600, NetStep::None}, {600, 100, NetStep::Body}};
    for (const auto& [sendMs, receiveMs, step] : cases) {
        kbtest::RawServer s("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nx", false, {"y", "z"}, 200);
        s.start();
        kbtest::ScopedHostMap map("slow.test=" + s.base());
        NetRequest req{.host = "slow.test"};
        req.sendTimeoutMs = sendMs;
        req.receiveTimeoutMs = receiveMs;
        const NetResult r = netRequest(req);
        EXPECT_EQ(r.step, step) << sendMs << "/" << receiveMs << " " << r.detail;
        EXPECT_EQ(r.timedOut, step != NetStep::None);
    }
    netSetTestTimeoutMs(-1);
}
