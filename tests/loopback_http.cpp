#include "tests/loopback_http.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/platform.h"

namespace kbtest {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string find(const HttpFields& f, const std::string& name) {
    for (const auto& [k, v] : f)
        if (k == name) return v;
    return {};
}

std::string urlDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') out += ' ';
        else if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else out += s[i];
    }
    return out;
}

// Reads the head and the Content-Length body; false when the client went away first.
bool readRequest(long long conn, HttpRequest& q) {
    std::string data;
    char buf[8192];
    size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        const long n = tcpRecv(conn, buf, sizeof buf);
        if (n <= 0) return false;
        data.append(buf, static_cast<size_t>(n));
    }
    size_t lineEnd = data.find("\r\n");
    const std::string line = data.substr(0, lineEnd);
    const size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
    if (sp1 == std::string::npos || sp2 <= sp1) return false;
    q.method = line.substr(0, sp1);
    const std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const size_t qm = target.find('?');
    q.path = target.substr(0, qm);
    if (qm != std::string::npos) {
        const std::string query = target.substr(qm + 1);
        for (size_t b = 0; b <= query.size();) {
            size_t e = query.find('&', b);
            if (e == std::string::npos) e = query.size();
            const std::string kv = query.substr(b, e - b);
            const size_t eq = kv.find('=');
            if (!kv.empty()) q.params.emplace_back(urlDecode(kv.substr(0, eq)), eq == std::string::npos ? "" : urlDecode(kv.substr(eq + 1)));
            b = e + 1;
        }
    }
    for (size_t p = lineEnd + 2; p < headEnd;) {
        const size_t e = data.find("\r\n", p);
        const std::string h = data.substr(p, e - p);
        const size_t colon = h.find(':');
        if (colon != std::string::npos) {
            size_t v = colon + 1, end = h.size();
            while (v < end && h[v] == ' ') ++v;
            while (end > v && h[end - 1] == ' ') --end;
            q.headers.emplace_back(lower(h.substr(0, colon)), h.substr(v, end - v));
        }
        p = e + 2;
    }
    const size_t want = static_cast<size_t>(std::atoll(q.header("Content-Length").c_str()));
    q.body = data.substr(headEnd + 4);
    while (q.body.size() < want) {
        const long n = tcpRecv(conn, buf, sizeof buf);
        if (n <= 0) return false;
        q.body.append(buf, static_cast<size_t>(n));
    }
    return true;
}

void writeResponse(long long conn, const HttpRequest& q, HttpResponse& r) {
    // Clients read the number only; the reason phrase is always "-".
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + " -\r\nConnection: close\r\n";
    for (const auto& [k, v] : r.headers) head += k + ": " + v + "\r\n";
    const bool noBody = r.status == 204 || r.status == 304 || r.status < 200;
    if (r.provider && !noBody) {
        tcpSend(conn, head + "Transfer-Encoding: chunked\r\n\r\n");
        bool finished = false, alive = true;
        size_t offset = 0;
        HttpSink sink;
        sink.write = [&](const char* p, size_t n) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", n);
            alive = alive && tcpSend(conn, size + std::string(p, n) + "\r\n");
            offset += n;
            return alive;
        };
        sink.done = [&] { finished = true; };
        while (!finished && alive)
            if (!r.provider(offset, sink)) break;
        if (finished) tcpSend(conn, "0\r\n\r\n");
        return;
    }
    if (!noBody) head += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    tcpSend(conn, head + "\r\n" + (noBody || q.method == "HEAD" ? std::string() : r.body));
}

}  // namespace

std::string HttpRequest::header(const std::string& name) const { return find(headers, lower(name)); }
std::string HttpRequest::param(const std::string& name) const { return find(params, name); }

void HttpResponse::setContent(const std::string& content, const std::string& type) {
    body = content;
    setHeader("Content-Type", type);
}
void HttpResponse::setHeader(const std::string& name, const std::string& value) { headers.emplace_back(name, value); }
void HttpResponse::setRedirect(const std::string& location, int code) {
    status = code;
    setHeader("Location", location);
}
void HttpResponse::setChunkedProvider(const std::string& type, std::function<bool(size_t, HttpSink&)> p) {
    setHeader("Content-Type", type);
    provider = std::move(p);
}

void HttpServer::route(const std::string& method, const std::string& pattern, HttpHandler h) {
    std::lock_guard<std::mutex> lk(mtx_);
    routes_.push_back({method, pattern, std::move(h)});
}

int HttpServer::start() {
    fd_ = tcpListenLoopback(port_);
    acceptor_ = std::thread([this] { acceptLoop(); });
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
        open_.push_back(c);
        workers_.emplace_back([this, c] { serve(c); });
    }
}

void HttpServer::serve(long long conn) {
    HttpRequest q;
    if (readRequest(conn, q)) {
        HttpHandler handler;
        {
            std::lock_guard<std::mutex> lk(mtx_);
            for (const Route& r : routes_)
                if (r.method == q.method && (r.pattern == q.path || (!r.pattern.empty() && r.pattern.back() == '*' &&
                                                                     q.path.compare(0, r.pattern.size() - 1, r.pattern, 0,
                                                                                    r.pattern.size() - 1) == 0))) {
                    handler = r.handler;
                    break;
                }
        }
        HttpResponse r;
        if (handler) handler(q, r);
        else r.status = 404;
        writeResponse(conn, q, r);
    }
    std::lock_guard<std::mutex> lk(mtx_);
    // Closed here unless stop() is already ending it.
    if (auto it = std::find(open_.begin(), open_.end(), conn); it != open_.end()) {
        open_.erase(it);
        tcpShutdown(conn);
        tcpClose(conn);
    }
}

void HttpServer::stop() {
    {
        std::lock_guard<std::mutex> lk(mtx_);
        if (fd_ < 0 || stopping_) return;
        stopping_ = true;
        for (long long c : open_) tcpShutdown(c);  // wakes workers blocked in a read
    }
    tcpPoke(port_);
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& t : workers_) t.join();  // no new workers once stopping_ is set
    for (long long c : open_) tcpClose(c);
    tcpClose(fd_);
}

}  // namespace kbtest
