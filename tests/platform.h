// What the tests need from the operating system beyond standard C++: environment variables
// and loopback TCP sockets. One source per platform (platform_posix.cpp, platform_win.cpp).
#pragma once
#include <cstddef>
#include <string>

namespace kbtest {

// Error numbers as each platform's messages carry them: errno and libcurl codes on Linux,
// Win32 and WinHTTP codes on Windows.
struct PlatformErrors {
    int timedOut;      // a request waited longer than its timeout
    int cutBody;       // a body ended before its announced length
    int renameOntoDir; // a file cannot replace a folder
    bool cutChunkedBodyDetected;  // false: Wine's WinHTTP takes a body cut mid-chunk as complete
    int refused;       // nobody listens on the port
};
extern const PlatformErrors kErr;

void setEnv(const std::string& name, const std::string& value);
void unsetEnv(const std::string& name);

// A listening TCP socket on 127.0.0.1 and a free port; -1 on failure.
long long tcpListenLoopback(int& port);
long long tcpAccept(long long fd);            // -1 once the socket is shut down
long tcpRecv(long long fd, char* buf, size_t n);  // bytes read, 0 at the end, -1 on error
void tcpSend(long long fd, const std::string& bytes);  // all of them, unless the connection fails
void tcpShutdown(long long fd);  // ends both directions: wakes a blocked tcpRecv
// Connects to 127.0.0.1:port and hangs up at once: wakes a listener blocked in tcpAccept.
void tcpPoke(int port);
void tcpClose(long long fd);

}  // namespace kbtest
