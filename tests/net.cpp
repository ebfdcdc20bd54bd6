// The libcurl transport: host map, POST, cancel, captured headers and TLS verification
// against a loopback server whose certificate is made here.
#include "data/net.h"

#include "tests/steam_servers.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdio>

using kbtest::LoopbackHttp;
using kbtest::RawServer;
using kbtest::ScopedHostMap;

TEST(Net, HostMapResolution) {
    struct Case {
        std::string map, host;
        int32_t port;
        std::string url;
    };
    const Case CASES[] = {
        {"", "store.steampowered.com", 443, "https://store.steampowered.com/p?q=1"},
        {"a.example=http://127.0.0.1:1, B.Example = https://h:2", "b.example", 443, "https://h:2/p?q=1"},
        {"a.example=http://127.0.0.1:1", "c.example", 8443, "https://c.example:8443/p?q=1"},
        {"garbage,,=,a.example", "a.example", 443, "https://a.example/p?q=1"},
    };
    for (const Case& c : CASES) {
        ScopedHostMap map(c.map);
        EXPECT_EQ(netResolveUrl(c.host, c.port, "/p?q=1"), c.url) << c.map;
    }
}

TEST(Net, PostWithHeadersAndCapturedResponseHeaders) {
    LoopbackHttp s;
    std::string method, body, auth, type;
    s.svr.Post("/v1/chat", [&](const httplib::Request& q, httplib::Response& r) {
        method = q.method;
        body = q.body;
        auth = q.get_header_value("Authorization");
        type = q.get_header_value("Content-Type");
        r.status = 429;
        r.set_header("Retry-After", "17");
        r.set_content("{\"error\":1}", "application/json");
    });
    s.start();
    ScopedHostMap map("api.test=" + s.base());
    NetRequest req;
    req.method = "POST";
    req.host = "api.test";
    req.path = "/v1/chat";
    req.headers = {"Authorization: Bearer k", "Content-Type: application/json"};
    req.body = std::string(200000, 'p');  // large enough to tempt "Expect: 100-continue"
    NetResult r = netRequest(req);
    EXPECT_EQ(r.status, 429);
    EXPECT_EQ(r.retryAfter, "17");
    EXPECT_EQ(r.contentLength, 11);
    EXPECT_EQ(r.body, "{\"error\":1}");
    EXPECT_EQ(body, req.body);
    EXPECT_EQ(auth, "Bearer k");
    EXPECT_EQ(type, "application/json");
}

TEST(Net, CancelEndsAWaitingRequest) {
    RawServer silent;
    silent.hang = true;
    silent.start();
    ScopedHostMap map("slow.test=" + silent.base());
    std::atomic<bool> cancel{false};
    NetRequest req;
    req.host = "slow.test";
    req.cancel = &cancel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel.store(true);
    });
    NetResult r = netRequest(req);
    canceller.join();
    EXPECT_EQ(r.step, NetStep::Cancelled);
}

TEST(Net, RejectsHostsThatWouldBendTheUrl) {
    const std::pair<const char*, const char*> CASES[] = {
        {"", "/"}, {"a b", "/"}, {"evil.com/x", "/"}, {"user@evil.com", "/"}, {"a\nb", "/"}, {"ok.test", "no-slash"}};
    for (const auto& [host, path] : CASES) {
        NetRequest req;
        req.host = host;
        req.path = path;
        EXPECT_EQ(netRequest(req).step, NetStep::Request) << host << " " << path;
    }
}

namespace {

// A self-signed certificate for 127.0.0.1, written as PEM into dir.
bool makeCertificate(const std::string& certPath, const std::string& keyPath) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* x = X509_new();
    if (!key || !x) return false;
    X509_set_version(x, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x), 1);
    X509_gmtime_adj(X509_getm_notBefore(x), -60);
    X509_gmtime_adj(X509_getm_notAfter(x), 3600);
    X509_set_pubkey(x, key);
    X509_NAME* name = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(x, name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, x, x, nullptr, nullptr, 0);
    for (auto [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"},
                              std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* e = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        X509_add_ext(x, e, -1);
        X509_EXTENSION_free(e);
    }
    X509_sign(x, key, EVP_sha256());
    FILE* cf = std::fopen(certPath.c_str(), "wb");
    FILE* kf = std::fopen(keyPath.c_str(), "wb");
    const bool ok = cf && kf && PEM_write_X509(cf, x) && PEM_write_PrivateKey(kf, key, nullptr, nullptr, 0, nullptr, nullptr);
    if (cf) std::fclose(cf);
    if (kf) std::fclose(kf);
    X509_free(x);
    EVP_PKEY_free(key);
    return ok;
}

// One TLS connection at a time; answers every request with "ok".
struct TlsServer {
    SSL_CTX* ctx = nullptr;
    RawServer tcp;  // only for its listening socket and port
    std::thread th;
    std::atomic<bool> stopping{false};

    bool start(const std::string& cert, const std::string& key) {
        ctx = SSL_CTX_new(TLS_server_method());
        if (SSL_CTX_use_certificate_file(ctx, cert.c_str(), SSL_FILETYPE_PEM) != 1) return false;
        if (SSL_CTX_use_PrivateKey_file(ctx, key.c_str(), SSL_FILETYPE_PEM) != 1) return false;
        tcp.fd = socket(AF_INET, SOCK_STREAM, 0);
        tcp.port = kbtest::bindLoopback(tcp.fd);
        listen(tcp.fd, 8);
        th = std::thread([this] { run(); });
        return true;
    }
    void run() {
        for (;;) {
            const int c = accept(tcp.fd, nullptr, nullptr);
            if (c < 0 || stopping.load()) {
                if (c >= 0) close(c);
                return;
            }
            SSL* ssl = SSL_new(ctx);
            SSL_set_fd(ssl, c);
            if (SSL_accept(ssl) == 1) {
                std::string head;
                char buf[2048];
                while (head.find("\r\n\r\n") == std::string::npos) {
                    const int n = SSL_read(ssl, buf, sizeof buf);
                    if (n <= 0) break;
                    head.append(buf, static_cast<size_t>(n));
                }
                const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
                SSL_write(ssl, reply.data(), static_cast<int>(reply.size()));
                SSL_shutdown(ssl);
            }
            SSL_free(ssl);
            close(c);
        }
    }
    ~TlsServer() {
        stopping.store(true);
        shutdown(tcp.fd, SHUT_RDWR);
        if (th.joinable()) th.join();
        SSL_CTX_free(ctx);
    }
};

}  // namespace

TEST(Net, TlsIsVerifiedAndTrustedOnlyThroughTheTestCa) {
    kbtest::TempDir dir;
    const std::string cert = dir.path + "cert.pem", key = dir.path + "key.pem";
    ASSERT_TRUE(makeCertificate(cert, key));
    TlsServer s;
    ASSERT_TRUE(s.start(cert, key));
    ScopedHostMap map("secure.test=https://127.0.0.1:" + std::to_string(s.tcp.port));
    NetRequest req;
    req.host = "secure.test";

    NetResult untrusted = netRequest(req);
    EXPECT_EQ(untrusted.step, NetStep::Send);
    EXPECT_NE(untrusted.curlCode, 0);

    netSetTestCaFile(cert);
    NetResult trusted = netRequest(req);
    netSetTestCaFile("");
    EXPECT_EQ(trusted.step, NetStep::None) << trusted.detail;
    EXPECT_EQ(trusted.status, 200);
    EXPECT_EQ(trusted.body, "ok");
}
