// TLS verification of the Linux transport against a loopback server with a certificate of its
// own (tests/data/tls). The server needs OpenSSL, which Debian does not build for mingw, so
// this file is not part of the Windows tests.
#include "data/net.h"

#include "tests/net_servers.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <memory>

TEST(Net, TlsIsVerifiedAndTrustedOnlyThroughTheTestCa) {
    const std::string dir = std::string(KB_TEST_DATA_DIR) + "/tls/";
    const std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    ASSERT_EQ(SSL_CTX_use_certificate_file(ctx.get(), (dir + "cert.pem").c_str(), SSL_FILETYPE_PEM), 1);
    ASSERT_EQ(SSL_CTX_use_PrivateKey_file(ctx.get(), (dir + "key.pem").c_str(), SSL_FILETYPE_PEM), 1);
    kbtest::HttpServer s;  // answers "ok" on every TLS connection
    s.onConnection = [&ctx](long long conn) {
        SSL* ssl = SSL_new(ctx.get());
        SSL_set_fd(ssl, static_cast<int>(conn));
        char buf[4096];  // the request head of a GET comes in one record
        if (SSL_accept(ssl) == 1 && SSL_read(ssl, buf, sizeof buf) > 0) {
            const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
            SSL_write(ssl, reply.data(), static_cast<int>(reply.size()));
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
    };
    kbtest::ScopedHostMap map("secure.test=https://127.0.0.1:" + std::to_string(s.start()));
    const NetRequest req{.host = "secure.test"};

    NetResult untrusted = netRequest(req);
    EXPECT_EQ(untrusted.step, NetStep::Send);
    EXPECT_NE(untrusted.curlCode, 0);

    netSetTestCaFile(dir + "cert.pem");
    NetResult trusted = netRequest(req);
    netSetTestCaFile("");
    EXPECT_EQ(trusted.step, NetStep::None) << trusted.detail;
    EXPECT_EQ(trusted.status, 200);
    EXPECT_EQ(trusted.body, "ok");
}
