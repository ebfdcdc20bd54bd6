#include "tests/loopback_http.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "tests/platform.h"

namespace kbtest {

namespace {

std::string find(const HttpFields& f, const std::string& name) {
    for (const auto& [k, v] : f)
        if (k == name) return v;
    return {};
}

std::string urlDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else out += s[i];
    }
    return out;
}

// Reads the head and the Content-Length body; false when the client went away first.
bool readRequest(long long conn, HttpRequest& q) {
    std::string data;
    auto more = [&] {
        char buf[8192];
        const long n = tcpRecv(conn, buf, sizeof buf);
        if (n > 0) data.append(buf, static_cast<size_t>(n));
        return n > 0;
    };
    size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos)
        if (!more()) return false;
    const size_t lineEnd = data.find("\r\n");
    const std::string line = data.substr(0, lineEnd);
    const size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
    const std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const size_t qm = target.find('?');
    q.path = target.substr(0, qm);
    for (size_t b = qm; b < target.size();) {
        const size_t e = std::min(target.find('&', b + 1), target.size());
        const std::string kv = target.substr(b + 1, e - b - 1);
        const size_t eq = kv.find('=');
        q.params.emplace_back(urlDecode(kv.substr(0, eq)), eq == std::string::npos ? "" : urlDecode(kv.substr(eq + 1)));
        b = e;
    }
    for (size_t p = lineEnd + 2; p < headEnd;) {
        const size_t e = data.find("\r\n", p), colon = data.find(':', p);
        size_t v = colon + 1;
        while (v < e && data[v] == ' ') ++v;
        if (colon < e) q.headers.emplace_back(data.substr(p, colon - p), data.substr(v, e - v));
        p = e + 2;
    }
    const size_t end = headEnd + 4 + static_cast<size_t>(std::atoll(q.header("Content-Length").c_str()));
    while (data.size() < end)
        if (!more()) return false;
    q.body = data.substr(headEnd + 4);
    return true;
}

}  // namespace

std::string HttpRequest::header(const std::string& name) const { return find(headers, name); }
std::string HttpRequest::param(const std::string& name) const { return find(params, name); }

void HttpResponse::setContent(const std::string& content, const std::string& type) {
    body = content;
    setHeader("Content-Type", type);
}

int HttpServer::start() {
    fd_ = tcpListenLoopback(port_);
    thread_ = std::thread([this] { acceptLoop(); });
    return port_;
}

void HttpServer::acceptLoop() {
    for (;;) {
        const long long c = tcpAccept(fd_);
        std::lock_guard<std::mutex> lk(mtx_);
        if (c < 0 || stopping_) {
            if (c >= 0) tcpClose(c);
            return;
        }
        ++connections;
        conns_.push_back(c);
        servers_.emplace_back([this, c] {
            serve(c);
            std::lock_guard<std::mutex> lk2(mtx_);
            conns_.erase(std::find(conns_.begin(), conns_.end(), c));
            tcpShutdown(c);
            tcpClose(c);
        });
    }
}

void HttpServer::serve(long long conn) {
    if (onConnection) return onConnection(conn);
    // Requests of one connection come one after another; the loop ends with the connection.
    for (bool more = true; more;) {
        HttpRequest q;
        if (!readRequest(conn, q)) return;
        HttpResponse r;
        handler(q, r);
        more = keepAlive;
        // Clients read the number only; the reason phrase is always "-".
        std::string head = "HTTP/1.1 " + std::to_string(r.status) + " -\r\n" + (more ? "" : "Connection: close\r\n");
        for (const auto& [k, v] : r.headers) head += k + ": " + v + "\r\n";
        tcpSend(conn, head + "Content-Length: " + std::to_string(r.body.size()) + "\r\n\r\n" + r.body);
    }
}

void HttpServer::stop() {
    {
        std::lock_guard<std::mutex> lk(mtx_);
        if (fd_ < 0 || stopping_) return;
        stopping_ = true;
        for (long long c : conns_) tcpShutdown(c);  // wakes handlers blocked in a read
    }
    tcpPoke(port_);
    thread_.join();
    // No thread is added once stopping_ is set.
    for (std::thread& t : servers_) t.join();
    tcpClose(fd_);
}

int RawServer::start() {
    onConnection = [this](long long conn) {
        HttpRequest q;
        if (!readRequest(conn, q)) return;
        tcpSend(conn, reply);
        for (const std::string& piece : later) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            tcpSend(conn, piece);
        }
        char buf[256];
        while (hang && tcpRecv(conn, buf, sizeof buf) > 0) {
        }
    };
    return HttpServer::start();
}

}  // namespace kbtest
