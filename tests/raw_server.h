// A loopback server for what an ordinary answer cannot be: cut bodies, silence, bytes that
// trickle, sent through the raw hook of the loopback HTTP server.
#pragma once
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/loopback_http.h"
#include "tests/platform.h"

namespace kbtest {

// Answers every request with fixed bytes (reply, then each of later after pauseMs); then
// closes the connection, or with hang keeps it open without another byte until the client
// or the server ends it. Set the fields before start().
struct RawServer {
    std::string reply;
    std::vector<std::string> later;
    int pauseMs = 0;
    bool hang = false;
    int port = 0;
    HttpServer svr;  // last: it stops before the fields above go away

    void start() {
        svr.route("", "*", [this](const HttpRequest&, HttpResponse& r) {
            r.raw = [this](long long conn) {
                tcpSend(conn, reply);
                for (const std::string& piece : later) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
                    tcpSend(conn, piece);
                }
                char buf[256];
                while (hang && tcpRecv(conn, buf, sizeof buf) > 0) {
                }
            };
        });
        port = svr.start();
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
};

// A loopback port nobody listens on (bound once, then released): connections are refused.
inline int refusedPort() {
    int port = 0;
    tcpClose(tcpListenLoopback(port));
    return port;
}

}  // namespace kbtest
