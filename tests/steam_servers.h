// What the tests of the network jobs share: the loopback servers (ordinary answers, and raw
// bytes for cut bodies and silence), the host map that sends requests to them, a polling
// deadline and a clean slate of job globals.
#pragma once

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "tests/loopback_http.h"
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

// An HTTP server on 127.0.0.1 and a free port, running until destruction.
struct LoopbackHttp {
    HttpServer svr;
    int port = 0;

    void start() { port = svr.start(); }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
};

// Sets KESTRELBOX_HOST_MAP for the scope (no request may run while it changes).
struct ScopedHostMap {
    std::optional<std::string> previous;
    explicit ScopedHostMap(const std::string& map) {
        if (const char* p = std::getenv("KESTRELBOX_HOST_MAP")) previous = p;
        setEnv("KESTRELBOX_HOST_MAP", map);
    }
    ~ScopedHostMap() {
        if (previous) setEnv("KESTRELBOX_HOST_MAP", *previous);
        else unsetEnv("KESTRELBOX_HOST_MAP");
    }
};

// A clean slate of jobs, games and categories before and after each test; a job the test
// left running is cancelled and joined first.
struct JobTest : ::testing::Test {
    void SetUp() override { TearDown(); }
    void TearDown() override {
        shutdownJobs();
        dummyGames.clear();
        gCategoryList.clear();
        resetJobGlobals();
    }
};

}  // namespace kbtest
