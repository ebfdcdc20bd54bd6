// What the tests of the network jobs share: a polling deadline, a clean slate of job globals
// and a loopback chat-completion service.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

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

// Stands in for all four chat providers: records what each request carried and answers with
// whatever the test set.
struct ChatServer {
    struct Seen : HttpRequest {
        int count = 0;
    };

    ScopedHostMap map{""};  // every provider's host, once the server runs
    std::mutex mtx;
    std::condition_variable cv;
    Seen seen;
    int status = 200;
    std::string answer;
    bool holding = false;  // requests wait until hold(false)
    // Last, so it stops (and its handlers end) before the state above goes away.
    HttpServer http;

    ChatServer() {
        http.handler = [this](const HttpRequest& q, HttpResponse& r) {
            std::unique_lock<std::mutex> lk(mtx);
            static_cast<HttpRequest&>(seen) = q;
            ++seen.count;
            cv.wait(lk, [this] { return !holding; });
            r.status = status;
            r.setContent(answer, "application/json");
        };
        http.start();
        std::string m;
        for (const AiProvider& p : kAiProviders) m += std::string(p.host) + "=" + http.base() + ",";
        setEnv("KESTRELBOX_HOST_MAP", m);
    }
    ~ChatServer() { hold(false); }

    void reply(int st, std::string body) {
        std::lock_guard<std::mutex> lk(mtx);
        status = st;
        answer = std::move(body);
    }
    // An ordinary answer carrying content (already JSON-escaped) and a finish reason.
    void replyContent(const std::string& escapedContent, const std::string& finish = "stop") {
        reply(200, "{\"id\":\"x\",\"choices\":[{\"index\":0,\"message\":{\"role\":\"assistant\",\"content\":\"" +
                       escapedContent + "\"},\"finish_reason\":\"" + finish + "\"}]}");
    }
    Seen last() {
        std::lock_guard<std::mutex> lk(mtx);
        return seen;
    }
    void hold(bool on) {
        std::lock_guard<std::mutex> lk(mtx);
        holding = on;
        cv.notify_all();
    }
};

}  // namespace kbtest
