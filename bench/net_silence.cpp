// How long a request waits on a server that goes silent, as a ratio to its limit. With the
// test-only cap every limit of a request is the same number of milliseconds, so a ratio near
// 1 means the limit counts silence from the last byte (not a sum of limits, and not the
// whole exchange). Three servers on 127.0.0.1: one that accepts and says nothing, one that
// sends a head and three body bytes and then nothing, one that trickles a byte every
// limit/3 (that one must succeed: its silences are all shorter than the limit).
//
// Usage: bench_net_silence [limit_ms]   (default 300)
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ai/chat.h"
#include "data/net.h"
#include "steam/http.h"

namespace {

// Accepts connections on a free loopback port; per connection reads the request head and
// plays the script: bytes to send, each after a pause; then holds the connection open.
struct ScriptedServer {
    int fd = -1;
    int port = 0;
    std::vector<std::pair<int, std::string>> script;  // (pause ms, bytes)
    std::atomic<bool> stopping{false};
    std::thread th;

    explicit ScriptedServer(std::vector<std::pair<int, std::string>> s) : script(std::move(s)) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 8) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            std::perror("listen");
            std::exit(1);
        }
        port = ntohs(a.sin_port);
        th = std::thread([this] { run(); });
    }
    void run() {
        std::vector<int> open;
        for (;;) {
            const int c = accept(fd, nullptr, nullptr);
            if (c < 0 || stopping.load()) {
                if (c >= 0) close(c);
                break;
            }
            std::string head;
            char buf[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                head.append(buf, static_cast<size_t>(n));
            }
            for (const auto& [pause, bytes] : script) {
                std::this_thread::sleep_for(std::chrono::milliseconds(pause));
                if (send(c, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) break;
            }
            open.push_back(c);
        }
        for (int c : open) close(c);
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
    ~ScriptedServer() {
        stopping.store(true);
        shutdown(fd, SHUT_RDWR);
        th.join();
        close(fd);
    }
};

void mapHosts(const std::string& base) {
    const std::string map = "store.example=" + base + "," + kAiProviders[0].host + "=" + base;
    setenv("KESTRELBOX_HOST_MAP", map.c_str(), 1);
}

void measure(const char* label, long limitMs, const ScriptedServer& s) {
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
    measure("silent", limitMs, ScriptedServer({}));
    measure("stalled", limitMs, ScriptedServer({{0, "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nabc"}}));
    const std::string answer = "{\"message\":{\"content\":\"ok\"}}";
    std::vector<std::pair<int, std::string>> trickle = {
        {0, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(answer.size()) + "\r\n\r\n"}};
    for (char c : answer) trickle.push_back({static_cast<int>(limitMs / 3), std::string(1, c)});
    measure("trickling", limitMs, ScriptedServer(trickle));
    return 0;
}
