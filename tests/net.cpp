// The transport on both platforms: host map, a POST and the answer's headers, refused URLs.
// (TLS verification: net_tls.cpp; cancelling a waiting request: AiRequests.CancelFromTheWaitDialog.)
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
        {"a.example=http://127.0.0.1:1", "c.example", 443, "https://c.example/p?q=1"},
        {"a.example=http://127.0.0.1:1", "c.example", 8443, "https://c.example:8443/p?q=1"},
        {"garbage,,=,a.example", "a.example", 443, "https://a.example/p?q=1"},
    };
    for (const Case& c : CASES) {
        ScopedHostMap map(c.map);
        EXPECT_EQ(netResolveUrl(c.host, c.port, "/p?q=1"), c.url) << c.map;
    }
}

// The body goes out whole, large enough to tempt "Expect: 100-continue"; the chat tests
// compare the headers sent.
TEST(Net, PostAndTheAnswersHeaders) {
    kbtest::HttpServer s;
    std::string body;
    s.post("/v1/chat", [&](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
        body = q.body;
        r.status = 429;
        r.setHeader("Retry-After", "17");
        r.setContent("{\"error\":1}", "application/json");
    });
    s.start();
    ScopedHostMap map("api.test=" + s.base());
    NetRequest req;
    req.method = "POST";
    req.host = "api.test";
    req.path = "/v1/chat";
    req.body = std::string(200000, 'p');
    const NetResult r = netRequest(req);
    EXPECT_EQ(r.step, NetStep::None);
    EXPECT_EQ(r.status, 429);
    EXPECT_EQ(r.retryAfter, "17");
    EXPECT_EQ(r.contentLength, 11);
    EXPECT_EQ(r.body, "{\"error\":1}");
    EXPECT_TRUE(body == req.body);
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
