// Store GET helpers against loopback servers that answer, cut, stall, trickle or redirect:
// outcome and message of each, the progress counters, the body limits and the throttling delays.
#include "steam/http.h"

#include "data/jobs.h"
#include "data/net.h"
#include "tests/net_servers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

namespace {

const std::string kHost = "store.test.invalid";

std::string answer(const std::string& head, const std::string& body) {
    return "HTTP/1.1 " + head + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(Http, OutcomesAndMessagesPerServer) {
    netSetTestTimeoutMs(300);
    resetJobGlobals();
    kbtest::RawServer target(answer("200 OK", "{\"a\":1}"));
    target.start();
    const std::string big(kJsonBodyLimit + 1, ' ');  // too much for JSON, fine for an image
    char chunk[32];
    std::snprintf(chunk, sizeof chunk, "%zx\r\n", big.size());
    const std::string cut = "WinHttpReadData 失败（连接中断）", cutNo = std::to_string(kbtest::kErr.cutBody);
    const std::string stall = "WinHttpReadData 失败（接收数据超时）", timeNo = std::to_string(kbtest::kErr.timedOut);
    const std::string silent = "WinHttpReceiveResponse 失败（等待响应超时）", tooBig = "响应超过 16 MiB 上限，已放弃";
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const bool chunkCut = kbtest::kErr.cutChunkedBodyDetected;
    const std::string refusedNote = "（DNS 或网络问题）";
    struct Case {
        const char* what;
        std::string reply;  // "" = silence
        bool hang;          // the connection stays open after the reply
        int trickle;        // then this many "x", 100 ms apart: never silent for 300 ms
        std::string jsonErr, binaryErr;  // "" = success with body; "*" = any failure
        std::string body;
        bool refused = false;  // nobody listens any more
        int64_t total = -1;     // the size the binary request announced; -1 = not checked
    };
    const Case cases[] = {
        {"body cut before its length", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(100, '{'), false,
         0, cut + ": " + cutNo, cut + "errno=" + cutNo},
        {"chunked body cut", chunked + "10\r\n0123456789abcdef\r\n", false, 0, chunkCut ? cut + ": " + cutNo : "",
         chunkCut ? cut + "errno=" + cutNo : "", "0123456789abcdef"},
        {"silence", "", true, 0, silent, silent + "errno=" + timeNo},
        {"body stalls", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nabc", true, 0, stall + ": " + timeNo,
         stall + "errno=" + timeNo},
        {"slow steady body", "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n", true, 8, "", "", "xxxxxxxx", false, 8},
        // Refused by its announced size, before any wait for the body.
        {"announced too big", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBinaryBodyLimit + 1) + "\r\n\r\nabc",
         true, 0, tooBig, "文件超过 64 MiB 上限，已放弃", "", false, 0},
        {"404", answer("404 -", std::string(500, 'x')), false, 0, "HTTP 404: " + std::string(200, 'x'), "HTTP 404"},
        {"redirect", "HTTP/1.1 302 -\r\nLocation: " + target.base() + "/\r\nContent-Length: 0\r\n\r\n", false, 0, "",
         "", "{\"a\":1}"},
        // Ends after a few rounds; the wording is the platform's.
        {"redirect loop", "HTTP/1.1 302 -\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n", false, 0, "*", "*"},
        {"big body", answer("200 OK", big), false, 0, tooBig, "", big, false, static_cast<int64_t>(big.size())},
        {"big chunked body", chunked + chunk + big + "\r\n0\r\n\r\n", false, 0, tooBig, "", big},
        {"connection refused", "", false, 0, "WinHttpSendRequest 失败: " + std::to_string(kbtest::kErr.refused) + refusedNote,
         "WinHttpSendRequest 失败 errno=" + std::to_string(kbtest::kErr.refused) + refusedNote, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string json, binary = "stale", jsonErr, binaryErr;
        TransferSlot slot;
        bool jsonOk = false, binaryOk = false;
        for (int round = 0; round < 2; ++round) {  // a server per request: one left hanging serves no other
            kbtest::RawServer s(c.reply, c.hang, std::vector<std::string>(static_cast<size_t>(c.trickle), "x"), 100);
            s.start();
            if (c.refused) s.stop();
            kbtest::ScopedHostMap map(kHost + "=" + s.base());
            if (round == 0) jsonOk = httpsGetJson(kHost, "/x", json, jsonErr);
            else binaryOk = httpsGetBinary(kHost, "/x", binary, binaryErr, nullptr, nullptr, nullptr, &slot);
        }
        EXPECT_EQ(jsonOk, c.jsonErr.empty());
        EXPECT_TRUE(jsonErr == c.jsonErr || (c.jsonErr == "*" && !jsonErr.empty())) << jsonErr;
        EXPECT_EQ(binaryOk, c.binaryErr.empty());
        EXPECT_TRUE(binaryErr == c.binaryErr || (c.binaryErr == "*" && !binaryErr.empty())) << binaryErr;
        EXPECT_TRUE(!c.jsonErr.empty() || json == c.body);
        EXPECT_LE(json.size(), kJsonBodyLimit);
        EXPECT_TRUE(!c.binaryErr.empty() || binary == c.body);
        EXPECT_EQ(slot.done.load(), static_cast<int64_t>(binary.size()));  // progress counts what came
        EXPECT_TRUE(c.total < 0 || slot.total.load() == c.total) << slot.total.load();
        EXPECT_FALSE(slot.active.load());
    }
    netSetTestTimeoutMs(-1);
}

TEST(Http, ThrottleDelays) {
    const std::tuple<std::string, int, int> cases[] = {
        // Retry-After, attempt: seconds
        {"", 1, 60}, {"", 3, 240}, {"", 30, 300}, {"7", 1, 7}, {"100000000", 1, 300}, {"x1", 2, 120},
    };
    for (const auto& [retryAfter, attempt, seconds] : cases)
        EXPECT_EQ(throttleDelaySeconds(retryAfter, attempt), seconds) << retryAfter << " " << attempt;
}

}  // namespace
