// A raw socket server on 127.0.0.1 for what an HTTP server cannot misbehave into: cut
// bodies, silence, bytes that trickle. Needs nothing but sockets and threads.
#pragma once
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform.h"

namespace kbtest {

// Accepts connections, reads the request head and answers with fixed bytes (reply, then each
// of later after pauseMs); then closes the connection, or keeps it open without another
// byte until the server is destroyed.
struct RawServer {
    long long fd = -1;
    int port = 0;
    std::string reply;
    std::vector<std::string> later;
    int pauseMs = 0;
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
            for (const std::string& piece : later) {
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
                tcpSend(c, piece);
            }
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

}  // namespace kbtest
