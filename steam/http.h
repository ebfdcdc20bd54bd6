// Blocking HTTPS GET for the store API and the image CDN, on the data/net.h transport.
//
// Contract of both functions: true when the server answered with a status from 200 to
// 299 and the whole body arrived; the body is then in out. On false, err holds a
// message naming the failed step (the number after a step name is libcurl's error code)
// and out may hold a partial or error body. A body cut off before its end is a failure.
// Neither function retries; httpsGetWithThrottle adds the store's throttling policy.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Largest bodies accepted; a bigger answer is a failure, never an unbounded allocation.
constexpr size_t kJsonBodyLimit = 16u << 20;
constexpr size_t kBinaryBodyLimit = 64u << 20;

// What a caller may want to know beyond the contract (throttling decisions).
struct HttpMeta {
    long status = 0;          // 0 when no response arrived
    std::string retryAfter;   // Retry-After as sent, empty when absent
};

// Appends the body to out. err on a bad status: "HTTP <status>: <first 200 body bytes>".
bool httpsGetJson(const std::string& host, const std::string& path, std::string& out, std::string& err,
                  HttpMeta* meta = nullptr, const std::atomic<bool>* cancel = nullptr);

// Empties out first. Publishes Content-Length in gDlFileBytesTotal (0 when absent) and the
// bytes received in gDlFileBytesDone. err on a bad status: "HTTP <status>".
bool httpsGetBinary(const std::string& host, const std::string& path, std::string& out, std::string& err,
                    HttpMeta* meta = nullptr, const std::atomic<bool>* cancel = nullptr);

// ---- Throttling (the store answers 429, then 403, to clients that ask too often) ----
constexpr int kThrottleMaxTries = 5;          // throttled answers in a row before giving up
constexpr int kThrottleFirstDelaySec = 60;
constexpr int kThrottleMaxDelaySec = 300;

bool isThrottleStatus(long status);
// Seconds to wait after the attempt-th throttled answer in a row (1-based): Retry-After
// (seconds or an HTTP date) when present and readable, else 60 s doubling per attempt;
// always capped at 300 s and never negative.
int throttleDelaySeconds(const std::string& retryAfter, int attempt);
// Sleeps up to seconds, calling onTick(seconds left) once per second; returns at once
// (false) when cancel is raised. nullptr callbacks/flags are allowed.
bool throttleWait(int seconds, const std::atomic<bool>* cancel, const std::function<void(int)>& onTick);

// One request through get(out, err, meta), retried while the answer is throttled. Between
// tries onWait(seconds left) is called every second, and onWait(0) when the wait ends.
// After kThrottleMaxTries throttled answers the last failure is returned. cancel ends a
// pause at once (a request in flight is get's business); *cancelled (optional) then
// tells that apart from a failure.
using HttpGetFn = std::function<bool(std::string& out, std::string& err, HttpMeta& meta)>;
bool httpsGetWithThrottle(const HttpGetFn& get, std::string& out, std::string& err,
                          const std::atomic<bool>* cancel, const std::function<void(int)>& onWait,
                          bool* cancelled = nullptr);
