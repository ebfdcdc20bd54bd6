// Shared by the transports behind data/net.h (net.cpp, net_win.cpp); not for other callers.
#pragma once
#include <string>

std::string trimSpaces(const std::string& s);
// Host names are letters, digits, '-', '.', and IPv6 literals in brackets.
bool hostLooksValid(const std::string& host);
// An absolute path without spaces or control characters.
bool pathLooksValid(const std::string& path);
// The test cap on every timeout in milliseconds, 0 = none.
long testTimeoutMs();

struct NetRequest;
// The request's four time limits in milliseconds, each capped by the test setting.
struct NetLimits {
    long resolveMs, connectMs, sendMs, receiveMs;
};
NetLimits netLimits(const NetRequest& req);
// The test CA bundle, empty = the system store.
std::string testCaFile();
