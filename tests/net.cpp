// The libcurl transport: host map, POST, cancel, captured headers and TLS verification
// against a loopback server with a self-signed certificate (tests/data/tls).
#include "data/net.h"

#include "tests/steam_servers.h"

#include <gtest/gtest.h>

using kbtest::LoopbackHttp;
using kbtest::RawServer;
using kbtest::ScopedHostMap;

TEST(Net, HostMapResolution) {
    struct Case {
        std::string map, host;
        int32_t port;
        std::string url;
    };
    const Case CASES[] = {
        {"", "store.steampowered.com", 443, "https://store.steampowered.com/p?q=1"},
        {"a.example=http://127.0.0.1:1, B.Example = https://h:2", "b.example", 443, "https://h:2/p?q=1"},
        {"a.example=http://127.0.0.1:1", "c.example", 8443, "https://c.example:8443/p?q=1"},
        {"garbage,,=,a.example", "a.example", 443, "https://a.example/p?q=1"},
    };
    for (const Case& c : CASES) {
        ScopedHostMap map(c.map);
        EXPECT_EQ(netResolveUrl(c.host, c.port, "/p?q=1"), c.url) << c.map;
    }
}

TEST(Net, PostWithHeadersAndCapturedResponseHeaders) {
    LoopbackHttp s;
    std::string method, body, auth, type;
    s.svr.Post("/v1/chat", [&](const httplib::Request& q, httplib::Response& r) {
        method = q.method;
        body = q.body;
        auth = q.get_header_value("Authorization");
        type = q.get_header_value("Content-Type");
        r.status = 429;
        r.set_header("Retry-After", "17");
        r.set_content("{\"error\":1}", "application/json");
    });
    s.start();
    ScopedHostMap map("api.test=" + s.base());
    NetRequest req;
    req.method = "POST";
    req.host = "api.test";
    req.path = "/v1/chat";
    req.headers = {"Authorization: Bearer k", "Content-Type: application/json"};
    req.body = std::string(200000, 'p');  // large enough to tempt "Expect: 100-continue"
    NetResult r = netRequest(req);
    EXPECT_EQ(r.status, 429);
    EXPECT_EQ(r.retryAfter, "17");
    EXPECT_EQ(r.contentLength, 11);
    EXPECT_EQ(r.body, "{\"error\":1}");
    EXPECT_EQ(body, req.body);
    EXPECT_EQ(auth, "Bearer k");
    EXPECT_EQ(type, "application/json");
}

TEST(Net, CancelEndsAWaitingRequest) {
    RawServer silent;
    silent.hang = true;
    silent.start();
    ScopedHostMap map("slow.test=" + silent.base());
    std::atomic<bool> cancel{false};
    NetRequest req;
    req.host = "slow.test";
    req.cancel = &cancel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel.store(true);
    });
    NetResult r = netRequest(req);
    canceller.join();
    EXPECT_EQ(r.step, NetStep::Cancelled);
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

TEST(Net, TlsIsVerifiedAndTrustedOnlyThroughTheTestCa) {
    const std::string cert = std::string(KB_TEST_DATA_DIR) + "/tls/cert.pem";
    httplib::SSLServer svr(cert.c_str(), (std::string(KB_TEST_DATA_DIR) + "/tls/key.pem").c_str());
    ASSERT_TRUE(svr.is_valid());
    svr.Get("/", [](const httplib::Request&, httplib::Response& r) { r.set_content("ok", "text/plain"); });
    const int port = svr.bind_to_any_port("127.0.0.1");
    std::thread th([&] { svr.listen_after_bind(); });
    for (int i = 0; i < 5000 && !svr.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ScopedHostMap map("secure.test=https://127.0.0.1:" + std::to_string(port));
    NetRequest req;
    req.host = "secure.test";

    NetResult untrusted = netRequest(req);
    EXPECT_EQ(untrusted.step, NetStep::Send);
    EXPECT_NE(untrusted.curlCode, 0);

    netSetTestCaFile(cert);
    NetResult trusted = netRequest(req);
    netSetTestCaFile("");
    EXPECT_EQ(trusted.step, NetStep::None) << trusted.detail;
    EXPECT_EQ(trusted.status, 200);
    EXPECT_EQ(trusted.body, "ok");
    svr.stop();
    th.join();
}
