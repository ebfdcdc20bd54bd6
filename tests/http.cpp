// Store GET helpers against real loopback servers: status rules, messages, progress
// counters, cut and silent answers, body limits and the throttling policy.
#include "steam/http.h"

#include "data/jobs.h"
#include "data/net.h"
#include "tests/steam_servers.h"

#include <gtest/gtest.h>

using kbtest::LoopbackHttp;
using kbtest::RawServer;
using kbtest::ScopedHostMap;

namespace {

const std::string kHost = "store.test.invalid";

struct Answer {
    bool ok;
    std::string out, err;
};

Answer getJson(const std::string& path) {
    Answer a;
    a.ok = httpsGetJson(kHost, path, a.out, a.err);
    return a;
}

Answer getBinary(const std::string& path) {
    Answer a;
    a.out = "stale";
    a.ok = httpsGetBinary(kHost, path, a.out, a.err);
    return a;
}

// Serves data in pieces of `step` bytes with no Content-Length.
void serveChunked(kbtest::HttpServer& svr, const std::string& path, const std::string& data, const char* type,
                  size_t step) {
    svr.get(path, [&data, type, step](const kbtest::HttpRequest&, kbtest::HttpResponse& r) {
        r.setChunkedProvider(type, [&data, step](size_t off, kbtest::HttpSink& sink) {
            if (off >= data.size()) {
                sink.done();
                return true;
            }
            return sink.write(data.data() + off, std::min(step, data.size() - off));
        });
    });
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override { resetJobGlobals(); }
    void TearDown() override { netSetTestTimeoutMs(-1); }
};

}  // namespace

TEST_F(HttpTest, StatusRulesAndMessages) {
    LoopbackHttp s;
    const std::string body500(500, 'x');
    s.svr.get("/404", [&](const kbtest::HttpRequest&, kbtest::HttpResponse& r) {
        r.status = 404;
        r.setContent(body500, "text/plain");
    });
    s.svr.get("/ok", [&](const kbtest::HttpRequest&, kbtest::HttpResponse& r) {
        r.setContent("{\"a\":1}", "application/json");
    });
    s.svr.get("/redir", [](const kbtest::HttpRequest&, kbtest::HttpResponse& r) { r.setRedirect("/ok"); });
    s.svr.get("/loop", [](const kbtest::HttpRequest&, kbtest::HttpResponse& r) { r.setRedirect("/loop"); });
    s.start();
    ScopedHostMap map(kHost + "=" + s.base());

    Answer a = getJson("/404");
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.err, "HTTP 404: " + std::string(200, 'x'));
    a = getBinary("/404");
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.err, "HTTP 404");

    for (auto get : {getJson, getBinary}) {
        a = get("/redir");
        EXPECT_TRUE(a.ok) << a.err;
        EXPECT_EQ(a.out, "{\"a\":1}");
        a = get("/loop");
        EXPECT_FALSE(a.ok);
    }
}

// A body that stops before its announced end is a failure, never a short success.
TEST_F(HttpTest, ConnectionClosedMidBodyFails) {
    RawServer s;
    s.reply = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nContent-Type: application/json\r\n\r\n" +
              std::string(100, '{');
    s.start();
    ScopedHostMap map(kHost + "=" + s.base());
    Answer a = getJson("/x");
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.err, "WinHttpReadData 失败（连接中断）: " + std::to_string(kbtest::kErr.cutBody));
    a = getBinary("/x");
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.err, "WinHttpReadData 失败（连接中断）errno=" + std::to_string(kbtest::kErr.cutBody));
    EXPECT_EQ(gDlFileBytesTotal.load(), 1000);  // progress counts what came
    EXPECT_EQ(gDlFileBytesDone.load(), 100);
    RawServer c;  // the same cut in a chunked answer
    c.reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n0123456789abcdef\r\n";
    c.start();
    ScopedHostMap map2(kHost + "=" + c.base());
    EXPECT_EQ(getJson("/x").ok, !kbtest::kErr.cutChunkedBodyDetected);
    EXPECT_EQ(getBinary("/x").ok, !kbtest::kErr.cutChunkedBodyDetected);
}

// Limits count silence, not the whole exchange: a slow steady body arrives whole.
TEST_F(HttpTest, SilenceLimitsNameTheStepThatTimedOut) {
    netSetTestTimeoutMs(300);
    RawServer silent;
    silent.hang = true;
    silent.start();
    {
        ScopedHostMap map(kHost + "=" + silent.base());
        EXPECT_EQ(getJson("/x").err, "WinHttpReceiveResponse 失败（等待响应超时）");
        EXPECT_EQ(getBinary("/x").err, "WinHttpReceiveResponse 失败（等待响应超时）errno=" + std::to_string(kbtest::kErr.timedOut));
    }
    RawServer stall;  // the head arrives, then the body stalls
    stall.hang = true;
    stall.reply = "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nabc";
    stall.start();
    ScopedHostMap map(kHost + "=" + stall.base());
    EXPECT_EQ(getJson("/x").err, "WinHttpReadData 失败（接收数据超时）: " + std::to_string(kbtest::kErr.timedOut));

    RawServer slow;  // a byte every 100 ms: 800 ms in all, never silent for 300
    slow.reply = "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n";
    slow.later = std::vector<std::string>(8, "x");
    slow.pauseMs = 100;
    slow.hang = true;
    slow.start();
    ScopedHostMap slowMap(kHost + "=" + slow.base());
    const Answer a = getBinary("/x");
    EXPECT_TRUE(a.ok) << a.err;
    EXPECT_EQ(a.out, "xxxxxxxx");
}

TEST_F(HttpTest, ConnectFailureMessages) {
    ScopedHostMap map(kHost + "=http://127.0.0.1:" + std::to_string(kbtest::refusedPort()));
    EXPECT_EQ(getJson("/x").err, "WinHttpConnect 失败");
    EXPECT_EQ(getBinary("/x").err, "WinHttpConnect 失败（DNS 或网络问题）");
}

TEST_F(HttpTest, OversizedBodiesAreRefused) {
    LoopbackHttp s;
    const std::string big(kJsonBodyLimit + 1, ' ');
    s.svr.get("/sized", [&](const kbtest::HttpRequest&, kbtest::HttpResponse& r) { r.setContent(big, "application/json"); });
    serveChunked(s.svr, "/chunked", big, "application/json", 1 << 20);
    s.start();
    ScopedHostMap map(kHost + "=" + s.base());
    for (const char* path : {"/sized", "/chunked"}) {
        Answer a = getJson(path);
        EXPECT_FALSE(a.ok) << path;
        EXPECT_EQ(a.err, "响应超过 16 MiB 上限，已放弃") << path;
        EXPECT_LE(a.out.size(), kJsonBodyLimit);
    }
    EXPECT_TRUE(getBinary("/sized").ok);  // 16 MiB + 1 is fine for an image
}

TEST(HttpThrottle, DelayPolicy) {
    struct Case {
        std::string retryAfter;
        int attempt;
        int seconds;
    };
    const Case CASES[] = {
        {"", 1, 60}, {"", 3, 240}, {"", 30, 300}, {"7", 1, 7}, {"100000000", 1, 300}, {"x1", 2, 120},
    };
    for (const Case& c : CASES)
        EXPECT_EQ(throttleDelaySeconds(c.retryAfter, c.attempt), c.seconds) << c.retryAfter << " " << c.attempt;
}
