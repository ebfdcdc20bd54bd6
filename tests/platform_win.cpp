#include "tests/platform.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <cstdlib>
#include <mutex>
#include <set>

#include "data/paths.h"

namespace kbtest {

const PlatformErrors kErr{ERROR_WINHTTP_TIMEOUT, ERROR_WINHTTP_CONNECTION_ERROR, ERROR_ACCESS_DENIED, false, ERROR_WINHTTP_CANNOT_CONNECT};

namespace {
// Winsock must be started once per process before the first socket.
const bool gWinsockReady = [] {
    WSADATA d;
    return WSAStartup(MAKEWORD(2, 2), &d) == 0;
}();
}  // namespace

void setEnv(const std::string& name, const std::string& value) {
    _wputenv_s(utf8ToWide(name).c_str(), utf8ToWide(value).c_str());
}
void unsetEnv(const std::string& name) { _wputenv_s(utf8ToWide(name).c_str(), L""); }

long long tcpListenLoopback(int& port) {
    const SOCKET fd = gWinsockReady ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof a;
    if (fd == INVALID_SOCKET || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0 || listen(fd, 8) != 0) {
        if (fd != INVALID_SOCKET) closesocket(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return static_cast<long long>(fd);
}

long long tcpAccept(long long fd) {
    const SOCKET c = accept(static_cast<SOCKET>(fd), nullptr, nullptr);
    if (c == INVALID_SOCKET) return -1;
    // Wine does not end a send blocked on a client that stopped reading when the socket is
    // shut down; a bound on each send keeps a server's stop from waiting forever.
    const DWORD ms = 5000;
    setsockopt(c, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    return static_cast<long long>(c);
}
namespace {
// Wine does not wake a recv blocked on a socket another thread shuts down; its WinHTTP keeps
// a client's connection open for half a minute after the client is gone, so a server's stop
// would wait that long. Reads wait in short slices and end once the socket is shut down.
std::mutex gShutMtx;
std::set<long long> gShut;
bool isShut(long long fd) {
    std::lock_guard<std::mutex> lk(gShutMtx);
    return gShut.count(fd) > 0;
}
}  // namespace

long tcpRecv(long long fd, char* buf, size_t n) {
    for (;;) {
        if (isShut(fd)) return 0;
        fd_set r;
        FD_ZERO(&r);
        FD_SET(static_cast<SOCKET>(fd), &r);
        timeval slice{0, 50000};
        const int ready = select(0, &r, nullptr, nullptr, &slice);
        if (ready < 0) return -1;
        if (ready > 0) return recv(static_cast<SOCKET>(fd), buf, static_cast<int>(n), 0);
    }
}
void tcpSend(long long fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = send(static_cast<SOCKET>(fd), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}
void tcpShutdown(long long fd) {
    {
        std::lock_guard<std::mutex> lk(gShutMtx);
        gShut.insert(fd);
    }
    shutdown(static_cast<SOCKET>(fd), SD_BOTH);
}
void tcpPoke(int port) {
    const SOCKET fd = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<u_short>(port));
    connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    closesocket(fd);
}
void tcpClose(long long fd) {
    {
        std::lock_guard<std::mutex> lk(gShutMtx);
        gShut.erase(fd);  // the handle's number may come back for another socket
    }
    closesocket(static_cast<SOCKET>(fd));
}

}  // namespace kbtest
