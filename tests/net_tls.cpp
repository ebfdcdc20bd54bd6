// TLS verification of the Linux transport against a loopback server with a certificate of its
// own (tests/data/tls). The server needs OpenSSL, which Debian does not build for mingw, so
// this file is not part of the Windows tests.
#include "data/net.h"

#include "tests/net_servers.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <atomic>

namespace {

const std::string kTlsDir = std::string(KB_TEST_DATA_DIR) + "/tls/";

// Answers "ok" on every TLS connection, one at a time, until destroyed.
struct TlsServer {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    int port = 0;
    long long fd = -1;
    std::atomic<bool> stopping{false};
    std::thread th;

    bool start() {
        if (SSL_CTX_use_certificate_file(ctx, (kTlsDir + "cert.pem").c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_use_PrivateKey_file(ctx, (kTlsDir + "key.pem").c_str(), SSL_FILETYPE_PEM) != 1)
            return false;
        fd = kbtest::tcpListenLoopback(port);
        th = std::thread([this] {
            for (long long c; (c = kbtest::tcpAccept(fd)) >= 0; kbtest::tcpClose(c)) {
                if (stopping.load()) return kbtest::tcpClose(c);
                SSL* ssl = SSL_new(ctx);
                SSL_set_fd(ssl, static_cast<int>(c));
                char buf[4096];  // the request head of a GET comes in one record
                if (SSL_accept(ssl) == 1 && SSL_read(ssl, buf, sizeof buf) > 0) {
                    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
                    SSL_write(ssl, reply.data(), static_cast<int>(reply.size()));
                    SSL_shutdown(ssl);
                }
                SSL_free(ssl);
            }
        });
        return true;
    }
    ~TlsServer() {
        stopping.store(true);
        kbtest::tcpPoke(port);
        if (th.joinable()) th.join();
        kbtest::tcpClose(fd);
        SSL_CTX_free(ctx);
    }
};

}  // namespace

TEST(Net, TlsIsVerifiedAndTrustedOnlyThroughTheTestCa) {
    TlsServer s;
    ASSERT_TRUE(s.start());
    kbtest::ScopedHostMap map("secure.test=https://127.0.0.1:" + std::to_string(s.port));
    NetRequest req;
    req.host = "secure.test";

    NetResult untrusted = netRequest(req);
    EXPECT_EQ(untrusted.step, NetStep::Send);
    EXPECT_NE(untrusted.curlCode, 0);

    netSetTestCaFile(kTlsDir + "cert.pem");
    NetResult trusted = netRequest(req);
    netSetTestCaFile("");
    EXPECT_EQ(trusted.step, NetStep::None) << trusted.detail;
    EXPECT_EQ(trusted.status, 200);
    EXPECT_EQ(trusted.body, "ok");
}
