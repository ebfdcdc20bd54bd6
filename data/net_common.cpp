// What both transports share: request checks, the host map and the test settings.
#include "data/net_common.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "data/net.h"

namespace {

std::mutex gNetTestMtx;  // guards the two test settings
std::string gNetTestCaFile;
long gNetTestTimeoutMs = -1;  // -1 = not set by a function; the env var decides

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Base address for host from KESTRELBOX_HOST_MAP, empty when the host is not mapped.
std::string mappedBase(const std::string& host) {
    const char* env = std::getenv("KESTRELBOX_HOST_MAP");
    if (!env || !*env) return {};
    const std::string map = env;
    const std::string want = lowerAscii(host);
    size_t start = 0;
    while (start <= map.size()) {
        size_t comma = map.find(',', start);
        if (comma == std::string::npos) comma = map.size();
        const std::string entry = map.substr(start, comma - start);
        const size_t eq = entry.find('=');
        if (eq != std::string::npos && lowerAscii(trimSpaces(entry.substr(0, eq))) == want) {
            std::string base = trimSpaces(entry.substr(eq + 1));
            while (!base.empty() && base.back() == '/') base.pop_back();
            return base;
        }
        start = comma + 1;
    }
    return {};
}

}  // namespace

std::string trimSpaces(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
}

// Host names are letters, digits, '-', '.', and IPv6 literals in brackets; anything else
// (a host taken from an answer with '@', '/', spaces...) could redirect the URL.
bool hostLooksValid(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    for (unsigned char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '.' || c == '[' || c == ']' || c == ':';
        if (!ok) return false;
    }
    return true;
}

bool pathLooksValid(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    for (unsigned char c : path)
        if (c <= 0x20 || c == 0x7F) return false;
    return true;
}

long testTimeoutMs() {
    {
        std::lock_guard<std::mutex> lk(gNetTestMtx);
        if (gNetTestTimeoutMs >= 0) return gNetTestTimeoutMs;
    }
    const char* env = std::getenv("KESTRELBOX_TEST_TIMEOUT_MS");
    return env ? std::atol(env) : 0;
}

NetLimits netLimits(const NetRequest& req) {
    NetLimits l{req.resolveTimeoutMs, req.connectTimeoutMs, req.sendTimeoutMs, req.receiveTimeoutMs};
    if (const long cap = testTimeoutMs(); cap > 0)
        for (long* ms : {&l.resolveMs, &l.connectMs, &l.sendMs, &l.receiveMs}) *ms = std::min(*ms, cap);
    return l;
}

std::string testCaFile() {
    {
        std::lock_guard<std::mutex> lk(gNetTestMtx);
        if (!gNetTestCaFile.empty()) return gNetTestCaFile;
    }
    const char* env = std::getenv("KESTRELBOX_TEST_CA_FILE");
    return env ? std::string(env) : std::string();
}

void netSetTestCaFile(const std::string& path) {
    std::lock_guard<std::mutex> lk(gNetTestMtx);
    gNetTestCaFile = path;
}

void netSetTestTimeoutMs(long ms) {
    std::lock_guard<std::mutex> lk(gNetTestMtx);
    gNetTestTimeoutMs = ms;
}

std::string netResolveUrl(const std::string& host, int32_t port, const std::string& path) {
    const std::string base = mappedBase(host);
    if (!base.empty()) return base + path;
    std::string url = "https://" + host;
    if (port != 443) url += ":" + std::to_string(port);
    return url + path;
}

time_t netParseHttpDate(const std::string& text) {
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    char wday[4] = {}, mon[4] = {}, zone[4] = {};
    int d = 0, y = 0, hh = 0, mm = 0, ss = 0, used = 0;
    if (std::sscanf(text.c_str(), "%3[A-Za-z], %2d %3[A-Za-z] %4d %2d:%2d:%2d %3[A-Z]%n", wday, &d, mon, &y, &hh, &mm, &ss, zone, &used) != 8 ||
        used != static_cast<int>(text.size()) || std::strcmp(zone, "GMT") != 0 || wday[3] != '\0')
        return -1;
    const char* m = std::strstr(kMonths, mon);
    if (!m || (m - kMonths) % 3 != 0 || d < 1 || d > 31 || y < 1970 || hh > 23 || mm > 59 || ss > 60) return -1;
    // Days from 1970-01-01 to the date (proleptic Gregorian calendar).
    const int month = static_cast<int>(m - kMonths) / 3 + 1;
    const int yy = month <= 2 ? y - 1 : y;
    const int era = yy / 400, yoe = yy - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long days = era * 146097LL + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    return static_cast<time_t>(days * 86400 + hh * 3600 + mm * 60 + ss);
}
