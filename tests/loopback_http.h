// A small HTTP/1.1 server on 127.0.0.1 for the tests of both platforms: each connection
// served by a thread of its own; one request per connection unless keepAlive is set.
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kbtest {

using HttpFields = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string path, body;      // path without its query
    HttpFields headers, params;  // headers as sent (both clients spell their names alike); params: the decoded query
    std::string header(const std::string& name) const;  // "" when absent
    std::string param(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::string body;
    HttpFields headers;
    void setContent(const std::string& content, const std::string& type);
    void setHeader(const std::string& name, const std::string& value) { headers.emplace_back(name, value); }
};

class HttpServer {
public:
    ~HttpServer() { stop(); }
    // Answers every request, whatever its method and path. Set before start().
    std::function<void(const HttpRequest&, HttpResponse&)> handler;
    // When set, takes each connection in place of handler before a byte is read: for servers
    // that misbehave on purpose or speak TLS. The connection is closed once it returns.
    std::function<void(long long conn)> onConnection;
    // Keep each connection open for further requests (set before start()).
    bool keepAlive = false;
    // Connections accepted so far.
    std::atomic<int> connections{0};
    // Listens on a free port and serves from a thread of its own; returns the port.
    int start();
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // Stops listening, ends the open connection and joins the thread.
    void stop();

private:
    void acceptLoop();
    void serve(long long conn);

    std::thread thread_;
    std::mutex mtx_;  // guards the three below
    std::vector<long long> conns_;  // the connections being served
    std::vector<std::thread> servers_;
    bool stopping_ = false;
    long long fd_ = -1;
    int port_ = 0;
};

// Answers every request with fixed bytes, for what an ordinary answer cannot be: cut bodies,
// silence, bytes that trickle. Sends reply, then each of later after pauseMs; then closes the
// connection, or with hang keeps it open without another byte until the client or the server
// ends it. Set the fields before start().
struct RawServer : HttpServer {
    std::string reply;
    std::vector<std::string> later;
    int pauseMs = 0;
    bool hang = false;

    explicit RawServer(std::string reply = "", bool hang = false, std::vector<std::string> later = {}, int pauseMs = 0)
        : reply(std::move(reply)), later(std::move(later)), pauseMs(pauseMs), hang(hang) {}
    ~RawServer() { stop(); }  // before the fields above go away
    int start();
};

}  // namespace kbtest
