// What the tests of the network jobs share: a polling deadline, a clean slate of job globals
// and loopback servers that record and hold requests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ai/chat.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "tests/loopback_http.h"
#include "tests/platform.h"
#include "tests/test_util.h"

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

// A loopback server standing in for the hosts it is given: it records every request and, while
// held, keeps each waiting; then answer (set through respond) fills the reply.
struct RecordingServer {
    using Answer = std::function<void(const HttpRequest&, HttpResponse&)>;
    ScopedHostMap map{""};  // each host to this server, once it runs
    std::mutex mtx;
    std::condition_variable cv;
    std::vector<HttpRequest> seen;
    bool holding = false;
    Answer answer = [](const HttpRequest&, HttpResponse&) {};
    // Last, so it stops (and its handlers end) before the state above goes away.
    HttpServer http;

    explicit RecordingServer(const std::vector<std::string>& hosts) {
        http.handler = [this](const HttpRequest& q, HttpResponse& r) {
            std::unique_lock<std::mutex> lk(mtx);
            seen.push_back(q);
            cv.wait(lk, [this] { return !holding; });
            answer(q, r);
        };
        http.start();
        std::string m;
        for (const std::string& h : hosts) m += h + "=" + http.base() + ",";
        setEnv("KESTRELBOX_HOST_MAP", m);
    }
    ~RecordingServer() { hold(false); }

    void respond(Answer a) {
        std::lock_guard<std::mutex> lk(mtx);
        answer = std::move(a);
    }
    std::vector<HttpRequest> requests() {
        std::lock_guard<std::mutex> lk(mtx);
        return seen;
    }
    void hold(bool on) {
        std::lock_guard<std::mutex> lk(mtx);
        holding = on;
        cv.notify_all();
    }
};

// Stands in for all four chat providers.
struct ChatServer : RecordingServer {
    static std::vector<std::string> providerHosts() {
        std::vector<std::string> hosts;
        for (const AiProvider& p : kAiProviders) hosts.push_back(p.host);
        return hosts;
    }
    ChatServer() : RecordingServer(providerHosts()) {}

    void reply(int status, std::string body) {
        respond([status, body](const HttpRequest&, HttpResponse& r) {
            r.status = status;
            r.setContent(body, "application/json");
        });
    }
    // An ordinary answer carrying content (already JSON-escaped) and a finish reason.
    void replyContent(const std::string& escapedContent, const std::string& finish = "stop") {
        reply(200, "{\"id\":\"x\",\"choices\":[{\"index\":0,\"message\":{\"role\":\"assistant\",\"content\":\"" +
                       escapedContent + "\"},\"finish_reason\":\"" + finish + "\"}]}");
    }
};

}  // namespace kbtest
