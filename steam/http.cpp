#include "steam/http.h"

#include "data/jobs.h"
#include "data/net.h"
#include "data/utf8.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

namespace {

// The message of a failed step, worded per function as the users know them.
std::string stepMessage(const NetResult& r, bool binary) {
    switch (r.step) {
        case NetStep::TooLarge: return binary ? "文件超过 64 MiB 上限，已放弃" : "响应超过 16 MiB 上限，已放弃";
        case NetStep::Cancelled: return "已取消";
        default: return netFailureMessage(r, !binary);
    }
}

bool isOkStatus(long s) { return s >= 200 && s <= 299; }

// A response that arrived with a status outside 2xx is judged by that status even when its
// body broke off; before a status, the failed step speaks.
bool judge(const NetResult& r, bool binary, std::string& err) {
    const bool responded = r.step == NetStep::None || r.step == NetStep::Body || r.step == NetStep::TooLarge;
    if (responded && !isOkStatus(r.status)) {
        err = "HTTP " + std::to_string(r.status);
        if (!binary) err += ": " + utf8Prefix(r.body, 200);
        return false;
    }
    if (r.step != NetStep::None) {
        err = stepMessage(r, binary);
        return false;
    }
    return true;
}

}  // namespace

bool httpsGetJson(const std::string& host, const std::string& path, std::string& out, std::string& err,
                  HttpMeta* meta, const std::atomic<bool>* cancel, NetClient* client) {
    NetRequest req;
    req.host = host;
    req.path = path;
    req.userAgent = "Kestrelbox/1.0";
    req.receiveTimeoutMs = 30000;
    req.maxBodyBytes = kJsonBodyLimit;
    req.cancel = cancel;
    req.client = client;
    NetResult r = netRequest(req);
    if (meta) {
        meta->status = r.status;
        meta->retryAfter = r.retryAfter;
        meta->contentType = r.contentType;
    }
    out += r.body;
    return judge(r, false, err);
}

bool httpsGetBinary(const std::string& host, const std::string& path, std::string& out, std::string& err,
                    HttpMeta* meta, const std::atomic<bool>* cancel, NetClient* client, TransferSlot* progress) {
    out.clear();
    if (progress) {
        progress->total.store(0);
        progress->done.store(0);
        progress->active.store(true);
    }
    NetRequest req;
    req.host = host;
    req.path = path;
    req.userAgent = "kestrelbox/1.0";
    req.receiveTimeoutMs = 90000;
    req.maxBodyBytes = kBinaryBodyLimit;
    req.bytesTotal = progress ? &progress->total : nullptr;
    req.bytesDone = progress ? &progress->done : nullptr;
    req.cancel = cancel;
    req.client = client;
    NetResult r = netRequest(req);
    if (progress) progress->active.store(false);
    if (meta) {
        meta->status = r.status;
        meta->retryAfter = r.retryAfter;
        meta->contentType = r.contentType;
    }
    const bool ok = judge(r, true, err);
    out = std::move(r.body);
    return ok;
}

bool isThrottleStatus(long status) { return status == 429 || status == 403; }

int throttleDelaySeconds(const std::string& retryAfter, int attempt) {
    long long secs = -1;
    if (!retryAfter.empty()) {
        if (std::all_of(retryAfter.begin(), retryAfter.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            secs = retryAfter.size() > 6 ? kThrottleMaxDelaySec : std::stoll(retryAfter);
        } else {
            const time_t when = netParseHttpDate(retryAfter);
            if (when != -1) secs = std::max<long long>(0, static_cast<long long>(when - std::time(nullptr)));
        }
    }
    if (secs < 0) {
        secs = kThrottleFirstDelaySec;
        for (int i = 1; i < attempt && secs < kThrottleMaxDelaySec; ++i) secs *= 2;
    }
    return static_cast<int>(std::min<long long>(secs, kThrottleMaxDelaySec));
}

bool throttleWait(int seconds, const std::atomic<bool>* cancel, const std::function<void(int)>& onTick) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    int lastShown = -1;
    for (;;) {
        if (cancel && cancel->load()) return false;
        const auto now = Clock::now();
        if (now >= end) return true;
        const int left = static_cast<int>(std::chrono::ceil<std::chrono::seconds>(end - now).count());
        if (left != lastShown) {
            lastShown = left;
            if (onTick) onTick(left);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

namespace {
std::atomic<int> gTestForbiddenPauseSec{-1};
}

void throttleSetTestForbiddenPauseSec(int seconds) { gTestForbiddenPauseSec.store(seconds); }

bool httpsGetWithThrottle(const HttpGetFn& get, std::string& out, std::string& err,
                          const std::atomic<bool>* cancel, const std::function<void(int)>& onWait,
                          bool* cancelled, StoreAccess* access) {
    StoreAccess thisCall;
    if (!access) access = &thisCall;
    if (cancelled) *cancelled = false;
    for (int attempt = 1;; ++attempt) {
        out.clear();
        err.clear();
        if (access->refused) {
            err = kStoreRefusedError;
            return false;
        }
        HttpMeta meta;
        if (get(out, err, meta)) return true;
        int delay = 0;
        if (meta.status == 403) {
            if (access->forbiddenPauseUsed) {
                access->refused = true;
                err = kStoreRefusedError;
                return false;
            }
            access->forbiddenPauseUsed = true;
            const int testPause = gTestForbiddenPauseSec.load();
            delay = testPause >= 0 ? testPause : kForbiddenPauseSec;
        } else if (meta.status == 429 && attempt < kThrottleMaxTries) {
            delay = throttleDelaySeconds(meta.retryAfter, attempt);
        } else {
            return false;
        }
        const bool waited = !(cancel && cancel->load()) && throttleWait(delay, cancel, onWait);
        if (onWait) onWait(0);
        if (!waited) {
            if (cancelled) *cancelled = true;
            access->cancelledInPause = true;
            err = "已取消";
            return false;
        }
    }
}
