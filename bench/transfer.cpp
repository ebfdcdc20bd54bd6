// The download job and the network match over a slow link: a TLS store and image CDN on
// 127.0.0.1 with generated content, each behind a proxy that adds a round trip (half of it
// per direction, on every byte, handshakes included) and shares one bandwidth between all
// connections in each direction.
//
// Prints, per round trip time: seconds per game of the real download job and its ratio to
// the floor (bytes / bandwidth + 2 RTT per game), connections opened, peak memory of the job
// (run in a child process), and the network match's seconds (and round trips) per title.
// First a fidelity check of the proxy: one small file on a new connection (about 3 RTT: TCP,
// TLS, request) and one large file (about its size / bandwidth).
//
// Usage: bench_transfer [games=20] [mbit=50] [rtts_ms=50,150,300] [titles=20]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/game.h"
#include "data/jobs.h"
#include "data/net.h"
#include "steam/download.h"
#include "steam/network_match.h"
#include "steam/store_api.h"
#include "tests/platform.h"
#include "tests/test_util.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kPictureBytes = 320 * 1024;
constexpr int kScreenshots = 10;

int listenLoopback(int& port) { return static_cast<int>(kbtest::tcpListenLoopback(port)); }

int connectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) std::abort();
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool sendAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t k = send(fd, p, n, MSG_NOSIGNAL);
        if (k <= 0) return false;
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

// Picture bytes of a path: a JPEG signature, then bytes that depend on the path.
std::string picture(const std::string& path, size_t size = kPictureBytes) {
    std::string b = "\xFF\xD8\xFF\xE0";
    uint32_t x = 2166136261u;
    for (char c : path) x = (x ^ static_cast<uint8_t>(c)) * 16777619u;
    while (b.size() < size) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b += static_cast<char>(x);
    }
    return b;
}

std::string appDetails(const std::string& appid) {
    std::string shots;
    for (int k = 1; k <= kScreenshots; ++k)
        shots += std::string(k > 1 ? "," : "") + "{\"id\":" + std::to_string(k) +
                 ",\"path_full\":\"https:\\/\\/" + kSteamCdnHost + "\\/steam\\/apps\\/" + appid + "\\/ss_" +
                 std::to_string(k) + ".1920x1080.jpg\"}";
    return "{\"" + appid + "\":{\"success\":true,\"data\":{\"type\":\"game\",\"name\":\"Game " + appid +
           "\",\"steam_appid\":" + appid + ",\"short_description\":\"A generated game.\",\"screenshots\":[" + shots +
           "]}}}";
}

std::string queryValue(const std::string& target, const std::string& key) {
    const size_t at = target.find(key + "=");
    if (at == std::string::npos) return {};
    const size_t from = at + key.size() + 1;
    return target.substr(from, target.find('&', from) - from);
}

std::string answerFor(const std::string& target) {
    if (target.rfind("/api/appdetails", 0) == 0) return appDetails(queryValue(target, "appids"));
    if (target.rfind("/api/storesearch", 0) == 0)
        return "{\"total\":1,\"items\":[{\"type\":\"app\",\"name\":\"" + queryValue(target, "term") + "\",\"id\":" +
               std::to_string(100 + target.size()) + "}]}";
    if (target.rfind("/big", 0) == 0) return picture(target, 8u << 20);
    if (target.rfind("/small", 0) == 0) return picture(target, 100);
    return picture(target);
}

// HTTP/1.1 over TLS with keep-alive, a thread per connection; counts the connections.
struct TlsOrigin {
    SSL_CTX* ctx = nullptr;
    int fd = -1, port = 0;
    std::atomic<int> connections{0};
    std::thread acceptor;

    void start(const std::string& certDir) {
        ctx = SSL_CTX_new(TLS_server_method());
        if (SSL_CTX_use_certificate_file(ctx, (certDir + "cert.pem").c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_use_PrivateKey_file(ctx, (certDir + "key.pem").c_str(), SSL_FILETYPE_PEM) != 1)
            std::abort();
        fd = listenLoopback(port);
        acceptor = std::thread([this] {
            for (;;) {
                const int c = accept(fd, nullptr, nullptr);
                if (c < 0) return;
                const int one = 1;
                setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                ++connections;
                std::thread([this, c] { serve(c); }).detach();
            }
        });
        acceptor.detach();
    }

    void serve(int c) {
        SSL* ssl = SSL_new(ctx);
        SSL_set_fd(ssl, c);
        if (SSL_accept(ssl) == 1) {
            std::string data;
            char buf[16384];
            for (;;) {
                size_t end;
                while ((end = data.find("\r\n\r\n")) == std::string::npos) {
                    const int n = SSL_read(ssl, buf, sizeof buf);
                    if (n <= 0) goto done;
                    data.append(buf, static_cast<size_t>(n));
                }
                const std::string line = data.substr(0, data.find("\r\n"));
                data.erase(0, end + 4);
                const size_t sp = line.find(' ');
                const std::string target = line.substr(sp + 1, line.rfind(' ') - sp - 1);
                const std::string body = answerFor(target);
                const std::string reply =
                    "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
                for (size_t off = 0; off < reply.size();) {
                    const int n = SSL_write(ssl, reply.data() + off, static_cast<int>(std::min<size_t>(reply.size() - off, 1 << 16)));
                    if (n <= 0) goto done;
                    off += static_cast<size_t>(n);
                }
            }
        }
    done:
        SSL_free(ssl);
        close(c);
    }
};

// One direction of the link: bytes leave in order, each chunk after the ones before it
// (bandwidth shared by every connection) and arrive half a round trip later.
struct Link {
    std::mutex mtx;
    double bytesPerSec = 0;
    Clock::time_point freeAt = Clock::now();
    Clock::time_point schedule(size_t n) {
        std::lock_guard<std::mutex> lk(mtx);
        const auto now = Clock::now();
        if (freeAt < now) freeAt = now;
        freeAt += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(static_cast<double>(n) / bytesPerSec));
        return freeAt;
    }
};

struct Chunk {
    Clock::time_point due;
    std::string bytes;  // empty = the sender closed
};

// Copies from one socket to another through a link with a one-way delay.
void pump(int from, int to, Link& link, Clock::duration oneWay) {
    std::mutex mtx;
    std::condition_variable cv;
    std::deque<Chunk> queue;
    std::thread writer([&] {
        for (;;) {
            Chunk c;
            {
                std::unique_lock<std::mutex> lk(mtx);
                cv.wait(lk, [&] { return !queue.empty(); });
                c = std::move(queue.front());
                queue.pop_front();
            }
            std::this_thread::sleep_until(c.due);
            if (c.bytes.empty() || !sendAll(to, c.bytes.data(), c.bytes.size())) {
                shutdown(to, SHUT_WR);
                return;
            }
        }
    });
    char buf[16384];
    for (;;) {
        const ssize_t n = recv(from, buf, sizeof buf, 0);
        Chunk c{{}, n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string()};
        c.due = (n > 0 ? link.schedule(static_cast<size_t>(n)) : Clock::now()) + oneWay;
        {
            std::lock_guard<std::mutex> lk(mtx);
            queue.push_back(std::move(c));
        }
        cv.notify_one();
        if (n <= 0) break;
    }
    writer.join();
}

struct Proxy {
    int fd = -1, port = 0, target = 0;
    Link* up = nullptr;
    Link* down = nullptr;
    std::atomic<long> oneWayUs{0};

    void start() {
        fd = listenLoopback(port);
        std::thread([this] {
            for (;;) {
                const int c = accept(fd, nullptr, nullptr);
                if (c < 0) return;
                const int one = 1;
                setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                const auto delay = std::chrono::microseconds(oneWayUs.load());
                // The client's connection costs a round trip before its first byte can go.
                std::thread([this, c, delay] {
                    std::this_thread::sleep_for(2 * delay);
                    const int s = connectLoopback(target);
                    std::thread back([=, this] { pump(s, c, *down, delay); });
                    pump(c, s, *up, delay);
                    back.join();
                    close(s);
                    close(c);
                }).detach();
            }
        }).detach();
    }
};

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long statusKb(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = 0;
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, std::strlen(field)) == 0) kb = std::atol(line + std::strlen(field) + 1);
    if (f) std::fclose(f);
    return kb;
}

// Runs fn in a child process (a fresh heap, so its peak memory is its own); the child
// writes its figures into a pipe as text.
std::string inChild(const std::function<std::string()>& fn) {
    int p[2];
    if (pipe(p) != 0) std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
        close(p[0]);
        const std::string out = fn();
        if (write(p[1], out.data(), out.size()) != static_cast<ssize_t>(out.size())) _exit(1);
        _exit(0);
    }
    close(p[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = read(p[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    close(p[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::printf("  (child ended with status %d)\n", status);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const int games = argc > 1 ? std::atoi(argv[1]) : 20;
    const double mbit = argc > 2 ? std::atof(argv[2]) : 50;
    const std::string rttList = argc > 3 ? argv[3] : "50,150,300";
    const int titles = argc > 4 ? std::atoi(argv[4]) : 20;
    const std::string srcDir = KB_SOURCE_DIR;

    TlsOrigin origin;
    origin.start(srcDir + "/tests/data/tls/");
    Link up, down;
    up.bytesPerSec = down.bytesPerSec = mbit * 1e6 / 8;
    Proxy store, cdn;
    store.target = cdn.target = origin.port;
    store.up = cdn.up = &up;
    store.down = cdn.down = &down;
    store.start();
    cdn.start();

    kbtest::TempDir menu;
    kbtest::ScopedMenuDir menuDir(menu.path);
    kbtest::ScopedHostMap map(std::string(kSteamStoreHost) + "=https://127.0.0.1:" + std::to_string(store.port) + "," +
                              kSteamCdnHost + "=https://127.0.0.1:" + std::to_string(cdn.port));
    netSetTestCaFile(srcDir + "/tests/data/tls/cert.pem");

    const double perGameBytes = static_cast<double>((kScreenshots + 1) * kPictureBytes + appDetails("1000").size());
    std::printf("link %.0f Mbit/s, %d games of %.2f MB (capsule, details, %d screenshots)\n", mbit, games,
                perGameBytes / 1e6, kScreenshots);
    std::vector<long> rtts;
    for (size_t b = 0; b < rttList.size();) {
        const size_t e = std::min(rttList.find(',', b), rttList.size());
        rtts.push_back(std::atol(rttList.substr(b, e - b).c_str()));
        b = e + 1;
    }

    for (long rtt : rtts) {
        store.oneWayUs = cdn.oneWayUs = rtt * 500;
        const double rttSec = static_cast<double>(rtt) / 1000.0;

        // Fidelity: a small and a large file, each on a new connection.
        auto timed = [&](const std::string& path) {
            const auto t0 = Clock::now();
            NetRequest req;
            req.host = kSteamCdnHost;
            req.path = path;
            req.maxBodyBytes = 64u << 20;
            const NetResult r = netRequest(req);
            if (r.step != NetStep::None) std::printf("  request failed: %s\n", r.detail.c_str());
            return secondsSince(t0);
        };
        const double small = timed("/small"), large = timed("/big");
        const double largeFloor = static_cast<double>(8u << 20) / down.bytesPerSec;
        std::printf("RTT %ld ms: fidelity small file %.3f s = %.2f RTT; 8 MiB file %.3f s = %.2f x size/bandwidth "
                    "(%.2f x with 3 RTT)\n",
                    rtt, small, small / rttSec, large, large / largeFloor, large / (largeFloor + 3 * rttSec));

        // The download job, in a child process.
        const int before = origin.connections.load();
        const std::string dl = inChild([&] {
            resetJobGlobals();
            DownloadWorkList work;
            for (int i = 0; i < games; ++i) work.emplace_back(1000 + i, "Game " + std::to_string(i));
            const long rssBefore = statusKb("VmRSS:");
            const auto t0 = Clock::now();
            runDownloadJob(work, 999999);
            const double sec = secondsSince(t0);
            char buf[256];
            std::snprintf(buf, sizeof buf, "%.3f %d %d %d %ld", sec, gDlDone.load(), gDlPartial.load(), gDlFail.load(),
                          statusKb("VmHWM:") - rssBefore);
            return std::string(buf);
        });
        double sec = 0;
        int done = 0, partial = 0, fail = 0;
        long peak = 0;
        std::sscanf(dl.c_str(), "%lf %d %d %d %ld", &sec, &done, &partial, &fail, &peak);
        const double floorPerGame = perGameBytes / down.bytesPerSec + 2 * rttSec;
        std::printf("  download: %.2f s per game, floor %.2f s, ratio %.1fx; complete %d partial %d failed %d; "
                    "%d connections; job's peak memory %.1f MB\n",
                    sec / games, floorPerGame, sec / games / floorPerGame, done, partial, fail,
                    origin.connections.load() - before, static_cast<double>(peak) / 1024.0);

        // The network match.
        const int beforeMatch = origin.connections.load();
        const std::string nm = inChild([&] {
            resetJobGlobals();
            std::vector<NetMatchItem> work;
            for (int i = 0; i < titles; ++i) {
                GameInfo g;
                g.name = "Title " + std::to_string(i);
                dummyGames.push_back(g);
                work.push_back(NetMatchItem{i, g.name, std::string()});
            }
            const auto t0 = Clock::now();
            runNetworkMatch(std::move(work));
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.4f %d", secondsSince(t0), gConfirmCount.load());
            return std::string(buf);
        });
        double msec = 0;
        int matched = 0;
        std::sscanf(nm.c_str(), "%lf %d", &msec, &matched);
        std::printf("  network match: %.3f s per title = %.2f RTT (%d of %d matched, %d connections)\n", msec / titles,
                    msec / titles / rttSec, matched, titles, origin.connections.load() - beforeMatch);
        // A cancel one second into the job: how long until it has ended.
        const std::string cancel = inChild([&] {
            resetJobGlobals();
            DownloadWorkList work;
            for (int i = 0; i < games; ++i) work.emplace_back(5000 + i, "Cancel " + std::to_string(i));
            gDlState = kJobRunning;
            std::thread job([&] { runDownloadJob(work, 999999); });
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const auto t0 = Clock::now();
            gDlCancel = true;
            while (gDlState.load() != kJobFinished) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const double ms = secondsSince(t0) * 1000;
            job.join();
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.0f", ms);
            return std::string(buf);
        });
        std::printf("  cancel after 1 s: the job ended %s ms later\n", cancel.c_str());

        std::fflush(stdout);
    }
    netSetTestCaFile("");
    return 0;
}
