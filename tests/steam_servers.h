// Loopback servers for the steam layer's tests: cpp-httplib for ordinary answers and a
// raw socket server for what httplib cannot misbehave into (cut bodies, silence).
#pragma once
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/raw_server.h"

namespace kbtest {

// Polls until done() holds; false after 20 s, so that a fault fails the test instead of
// hanging the run.
template <class F>
bool waitUntil(F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// An httplib server on 127.0.0.1 and a free port, running until destruction.
struct LoopbackHttp {
    httplib::Server svr;
    std::thread th;
    int port = 0;

    void start() {
        port = svr.bind_to_any_port("127.0.0.1");
        th = std::thread([this] { svr.listen_after_bind(); });
        waitUntil([this] { return svr.is_running(); });
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
    ~LoopbackHttp() {
        svr.stop();
        if (th.joinable()) th.join();
    }
};

// Sets KESTRELBOX_HOST_MAP for the scope (no request may run while it changes).
struct ScopedHostMap {
    std::string previous;
    bool had = false;
    explicit ScopedHostMap(const std::string& map) {
        if (const char* p = std::getenv("KESTRELBOX_HOST_MAP")) {
            previous = p;
            had = true;
        }
        setenv("KESTRELBOX_HOST_MAP", map.c_str(), 1);
    }
    ~ScopedHostMap() {
        if (had) setenv("KESTRELBOX_HOST_MAP", previous.c_str(), 1);
        else unsetenv("KESTRELBOX_HOST_MAP");
    }
};

}  // namespace kbtest
