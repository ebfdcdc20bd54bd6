// A loopback chat-completion service standing in for all four providers: it records what
// each request carried and answers with whatever the test set.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "ai/chat.h"
#include "tests/steam_servers.h"

namespace kbtest {

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
    bool hold = false;  // keep requests waiting until release()
    // Last, so it stops (and its handlers end) before the state above goes away.
    LoopbackHttp http;

    ChatServer() {
        auto handler = [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            std::unique_lock<std::mutex> lk(mtx);
            static_cast<HttpRequest&>(seen) = q;
            ++seen.count;
            cv.notify_all();
            cv.wait(lk, [this] { return !hold; });
            r.status = status;
            r.setContent(answer, "application/json");
        };
        for (const AiProvider& p : kAiProviders) http.svr.post(p.path, handler);
        http.start();
        std::string m;
        for (const AiProvider& p : kAiProviders) m += std::string(p.host) + "=" + http.base() + ",";
        setEnv("KESTRELBOX_HOST_MAP", m);
    }
    ~ChatServer() { release(); }

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
    // Waits at most a minute, so a request never sent fails the test instead of hanging it.
    bool waitForRequest() {
        std::unique_lock<std::mutex> lk(mtx);
        return cv.wait_for(lk, std::chrono::minutes(1), [this] { return seen.count > 0; });
    }
    void holdRequests() {
        std::lock_guard<std::mutex> lk(mtx);
        hold = true;
    }
    void release() {
        std::lock_guard<std::mutex> lk(mtx);
        hold = false;
        cv.notify_all();
    }
};

}  // namespace kbtest
