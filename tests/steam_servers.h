// Loopback servers for the steam layer's tests: the HTTP server for ordinary answers and a
// raw socket server for what it cannot misbehave into (cut bodies, silence).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/loopback_http.h"
#include "tests/platform.h"

namespace kbtest {

// An HTTP server on 127.0.0.1 and a free port, running until destruction.
struct LoopbackHttp {
    HttpServer svr;
    int port = 0;

    void start() { port = svr.start(); }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
};

// Accepts connections, reads the request head and answers with fixed bytes; then closes
// the connection, or keeps it open without another byte until the server is destroyed.
struct RawServer {
    long long fd = -1;
    int port = 0;
    std::string reply;
    bool hang = false;
    std::atomic<bool> stopping{false};
    std::thread th;

    void start() {
        fd = tcpListenLoopback(port);
        th = std::thread([this] { run(); });
    }
    void run() {
        std::vector<long long> open;
        for (;;) {
            const long long c = tcpAccept(fd);
            if (c < 0 || stopping.load()) {
                if (c >= 0) tcpClose(c);
                break;
            }
            std::string head;
            char buf[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const long n = tcpRecv(c, buf, sizeof buf);
                if (n <= 0) break;
                head.append(buf, static_cast<size_t>(n));
            }
            if (!reply.empty()) tcpSend(c, reply);
            if (hang) open.push_back(c);
            else tcpClose(c);
        }
        for (long long c : open) tcpClose(c);
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
    ~RawServer() {
        stopping.store(true);
        tcpPoke(port);
        if (th.joinable()) th.join();
        tcpClose(fd);
    }
};

// A loopback port nobody listens on (bound once, then released): connections are refused.
inline int refusedPort() {
    int port = 0;
    tcpClose(tcpListenLoopback(port));
    return port;
}

// Sets KESTRELBOX_HOST_MAP for the scope (no request may run while it changes).
struct ScopedHostMap {
    std::string previous;
    bool had = false;
    explicit ScopedHostMap(const std::string& map) {
        if (const char* p = std::getenv("KESTRELBOX_HOST_MAP")) {
            previous = p;
            had = true;
        }
        setEnv("KESTRELBOX_HOST_MAP", map);
    }
    ~ScopedHostMap() {
        if (had) setEnv("KESTRELBOX_HOST_MAP", previous);
        else unsetEnv("KESTRELBOX_HOST_MAP");
    }
};

}  // namespace kbtest
