#include "tests/platform.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kbtest {

const PlatformErrors kErr{28, 18, EISDIR, true, 7};

void setEnv(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }
void unsetEnv(const std::string& name) { ::unsetenv(name.c_str()); }

long long tcpListenLoopback(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0 || listen(fd, 8) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

long long tcpAccept(long long fd) { return accept(static_cast<int>(fd), nullptr, nullptr); }
long tcpRecv(long long fd, char* buf, size_t n) { return static_cast<long>(recv(static_cast<int>(fd), buf, n, 0)); }
// A blocking send returns once every byte is queued; only a signal could cut it short.
void tcpSend(long long fd, const std::string& bytes) {
    send(static_cast<int>(fd), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}
void tcpShutdown(long long fd) { shutdown(static_cast<int>(fd), SHUT_RDWR); }
void tcpPoke(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    (void)!connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::close(fd);
}
void tcpClose(long long fd) { ::close(static_cast<int>(fd)); }

}  // namespace kbtest
