// How long a request waits on a server that goes silent, as a ratio to its limit. With the
// test-only cap every limit of a request is the same number of milliseconds, so a ratio near
// 1 means the limit counts silence from the last byte (not a sum of limits, and not the
// whole exchange). Three servers on 127.0.0.1 (the tests' raw server): one that accepts and
// says nothing, one that sends a head and three body bytes and then nothing, one that
// trickles a byte every limit/3 (that one must succeed: its silences are all shorter than
// the limit).
//
// Usage: bench_net_silence [limit_ms]   (default 300)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ai/chat.h"
#include "data/net.h"
#include "steam/http.h"
#include "tests/loopback_http.h"

using kbtest::RawServer;

namespace {

void mapHosts(const std::string& base) {
    const std::string map = "store.example=" + base + "," + kAiProviders[0].host + "=" + base;
    setenv("KESTRELBOX_HOST_MAP", map.c_str(), 1);
}

// A hanging loopback server that sends head, then each of later after pauseMs.
void serve(RawServer& s, const std::string& head, std::vector<std::string> later = {}, int pauseMs = 0) {
    s.reply = head;
    s.later = std::move(later);
    s.pauseMs = pauseMs;
    s.hang = true;
    s.start();
}

void measure(const char* label, long limitMs, const RawServer& s) {
    mapHosts(s.base());
    using Clock = std::chrono::steady_clock;
    auto run = [&](const char* what, auto call) {
        const auto t0 = Clock::now();
        std::string err;
        const bool ok = call(err);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        std::printf("%-10s %-7s %6.0f ms  %4.2f x limit  %s\n", label, what, ms, ms / static_cast<double>(limitMs),
                    ok ? "ok" : err.c_str());
    };
    run("json", [](std::string& err) {
        std::string out;
        return httpsGetJson("store.example", "/", out, err);
    });
    run("binary", [](std::string& err) {
        std::string out;
        return httpsGetBinary("store.example", "/", out, err);
    });
    run("chat", [](std::string& err) {
        std::string content;
        return callAIApi(0, "qwen-plus", "k", "p", content, err);
    });
}

}  // namespace

int main(int argc, char** argv) {
    const long limitMs = argc > 1 ? std::atol(argv[1]) : 300;
    if (limitMs <= 0) return 2;
    netSetTestTimeoutMs(limitMs);
    std::printf("every limit capped at %ld ms\n", limitMs);
    RawServer silent, stalled, trickling;
    serve(silent, "");
    measure("silent", limitMs, silent);
    serve(stalled, "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nabc");
    measure("stalled", limitMs, stalled);
    const std::string answer = "{\"message\":{\"content\":\"ok\"}}";
    std::vector<std::string> bytes;
    for (char c : answer) bytes.emplace_back(1, c);
    serve(trickling, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(answer.size()) + "\r\n\r\n", bytes,
          static_cast<int>(limitMs / 3));
    measure("trickling", limitMs, trickling);
    return 0;
}
