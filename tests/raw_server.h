// A raw socket server on 127.0.0.1 for what an HTTP library cannot misbehave into: cut
// bodies, silence, bytes that trickle. Needs nothing but sockets and threads.
#pragma once
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kbtest {

// Binds fd to a free port on 127.0.0.1 and returns the port.
inline int bindLoopback(int fd) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

// Accepts connections, reads the request head and answers with fixed bytes (reply, then each
// of later after pauseMs); then closes the connection, or keeps it open without another
// byte until the server is destroyed.
struct RawServer {
    int fd = -1;
    int port = 0;
    std::string reply;
    std::vector<std::string> later;
    int pauseMs = 0;
    bool hang = false;
    std::atomic<bool> stopping{false};
    std::thread th;

    void start() {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        port = bindLoopback(fd);
        listen(fd, 8);
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
            if (!reply.empty()) (void)!send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            for (const std::string& piece : later) {
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
                (void)!send(c, piece.data(), piece.size(), MSG_NOSIGNAL);
            }
            if (hang) open.push_back(c);
            else close(c);
        }
        for (int c : open) close(c);
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
    ~RawServer() {
        stopping.store(true);
        shutdown(fd, SHUT_RDWR);
        if (th.joinable()) th.join();
        close(fd);
    }
};

// A loopback port nobody listens on (bound once, then released): connections are refused.
inline int refusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int port = bindLoopback(fd);
    close(fd);
    return port;
}

}  // namespace kbtest
