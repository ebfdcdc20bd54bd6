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

#include "data/jobs.h"
#include "data/net.h"

// Largest bodies accepted; a bigger answer is a failure, never an unbounded allocation.
constexpr size_t kJsonBodyLimit = 16u << 20;
constexpr size_t kBinaryBodyLimit = 64u << 20;

// What a caller may want to know beyond the contract (throttling decisions).
struct HttpMeta {
    long status = 0;          // 0 when no response arrived
    std::string retryAfter;   // Retry-After as sent, empty when absent
    std::string contentType;  // Content-Type as sent, empty when absent
};

// client (optional): the job's kept connections (data/net.h); a job passes the same one
// with every request of the same thread.

// Appends the body to out. err on a bad status: "HTTP <status>: <first 200 body bytes>".
bool httpsGetJson(const std::string& host, const std::string& path, std::string& out, std::string& err,
                  HttpMeta* meta = nullptr, const std::atomic<bool>* cancel = nullptr, NetClient* client = nullptr);

// Empties out first. Publishes Content-Length in progress->total (0 when absent) and the
// bytes received in progress->done, and marks the slot active while it runs. err on a bad
// status: "HTTP <status>".
bool httpsGetBinary(const std::string& host, const std::string& path, std::string& out, std::string& err,
                    HttpMeta* meta = nullptr, const std::atomic<bool>* cancel = nullptr, NetClient* client = nullptr,
                    TransferSlot* progress = nullptr);

// ---- Throttling ----
// 429 (too many requests): pause and retry, kThrottleMaxTries answers in a row at most.
// 403 (the store refuses this client): one pause of kForbiddenPauseSec per run of a job;
// a 403 after it makes the store count as refusing, and the run asks it nothing more.
constexpr int kThrottleMaxTries = 5;
constexpr int kThrottleFirstDelaySec = 60;
constexpr int kThrottleMaxDelaySec = 300;
constexpr int kForbiddenPauseSec = 300;
inline constexpr char kStoreRefusedError[] = "商店拒绝访问（HTTP 403），本次不再向商店请求";

// What one run of a job has learnt about the store; the job owns it.
struct StoreAccess {
    bool forbiddenPauseUsed = false;
    bool refused = false;
    bool cancelledInPause = false;  // a cancel ended a throttling pause
};

bool isThrottleStatus(long status);  // 429 or 403
// Seconds to wait after the attempt-th 429 in a row (1-based): Retry-After (seconds or an
// HTTP date) when present and readable, else 60 s doubling per attempt; always capped at
// 300 s and never negative.
int throttleDelaySeconds(const std::string& retryAfter, int attempt);
// Sleeps up to seconds, calling onTick(seconds left) once per second; returns at once
// (false) when cancel is raised. nullptr callbacks/flags are allowed.
bool throttleWait(int seconds, const std::atomic<bool>* cancel, const std::function<void(int)>& onTick);

// One request through get(out, err, meta) under the policy above. Between tries
// onWait(seconds left) is called every second, and onWait(0) when the wait ends. cancel
// ends a pause at once (a request in flight is get's business); *cancelled (optional)
// then tells that apart from a failure. access (optional) carries the 403 rule across the
// requests of a run; without it the rule holds for this one call. A refusing store gives
// err = kStoreRefusedError without a request.
using HttpGetFn = std::function<bool(std::string& out, std::string& err, HttpMeta& meta)>;
bool httpsGetWithThrottle(const HttpGetFn& get, std::string& out, std::string& err,
                          const std::atomic<bool>* cancel, const std::function<void(int)>& onWait,
                          bool* cancelled = nullptr, StoreAccess* access = nullptr);

// Test-only: when 0 or more, replaces kForbiddenPauseSec. -1 = off.
void throttleSetTestForbiddenPauseSec(int seconds);
