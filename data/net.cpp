#include "data/net.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "data/net_common.h"

namespace {

using Clock = std::chrono::steady_clock;

std::once_flag gCurlInitOnce;

void ensureCurlGlobal() {
    std::call_once(gCurlInitOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    const NetRequest* req = nullptr;
    NetResult* res = nullptr;
    long sendLimitMs = 0;      // longest silence while the request goes out
    long receiveLimitMs = 0;   // longest silence after it: before the head and in the body
    Clock::time_point lastActivity;
    curl_off_t lastUp = 0;
    bool connected = false;    // the connection stands (until then curl's connect limit rules)
    bool headStarted = false;  // a status line arrived
    bool inHead = false;       // between a status line and its blank line (not trailers)
    bool cancelled = false;
    bool tooLarge = false;
    bool timedOut = false;
};

bool startsWithNoCase(const char* line, size_t n, const char* prefix) {
    const size_t pn = std::strlen(prefix);
    if (n < pn) return false;
    for (size_t i = 0; i < pn; ++i) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

size_t onHeader(char* data, size_t size, size_t nitems, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * nitems;
    t->lastActivity = Clock::now();
    if (startsWithNoCase(data, n, "http/")) {
        // A new response head (redirects and 100 Continue each send one).
        t->headStarted = true;
        t->inHead = true;
        t->res->contentLength = -1;
        t->res->retryAfter.clear();
        t->res->contentType.clear();
        const std::string line(data, n);
        const size_t sp = line.find(' ');
        t->res->status = sp == std::string::npos ? 0 : std::atol(line.c_str() + sp + 1);
    } else if (!t->inHead) {
        // Trailers of a chunked body: nothing here changes the response already read.
    } else if (startsWithNoCase(data, n, "content-length:")) {
        const std::string v = trimSpaces(std::string(data + 15, n - 15));
        char* end = nullptr;
        const long long cl = std::strtoll(v.c_str(), &end, 10);
        if (end != v.c_str() && cl >= 0) t->res->contentLength = cl;
    } else if (startsWithNoCase(data, n, "retry-after:")) {
        t->res->retryAfter = trimSpaces(std::string(data + 12, n - 12));
    } else if (startsWithNoCase(data, n, "content-type:")) {
        t->res->contentType = trimSpaces(std::string(data + 13, n - 13));
    } else if (n <= 2 && (n == 0 || data[0] == '\r' || data[0] == '\n')) {
        // End of a head: announce the size of the body that follows.
        t->inHead = false;
        const long st = t->res->status;
        if (st >= 200) {
            if (t->res->contentLength > static_cast<int64_t>(t->req->maxBodyBytes) && !(st >= 300 && st < 400)) {
                t->tooLarge = true;
                return 0;
            }
            if (t->req->bytesTotal) t->req->bytesTotal->store(std::max<int64_t>(t->res->contentLength, 0));
            if (t->req->bytesDone) t->req->bytesDone->store(0);
            t->res->body.clear();
        }
    }
    return n;
}

size_t onBody(char* data, size_t size, size_t nmemb, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * nmemb;
    t->lastActivity = Clock::now();
    if (t->res->body.size() + n > t->req->maxBodyBytes) {
        t->tooLarge = true;
        return 0;
    }
    t->res->body.append(data, n);
    if (t->req->bytesDone) t->req->bytesDone->fetch_add(static_cast<int64_t>(n));
    return n;
}

// Called once a connection stands (new or reused, TLS included), before the request goes out.
int onConnected(void* user, char*, char*, int, int) {
    auto* t = static_cast<Transfer*>(user);
    t->connected = true;
    t->lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

// True when the transfer must end now: cancelled, or silent for longer than its limit.
bool mustStop(CURL* h, Transfer& t) {
    if (t.req->cancel && t.req->cancel->load()) {
        t.cancelled = true;
        return true;
    }
    if (!t.connected) return false;
    const auto now = Clock::now();
    curl_off_t up = 0;
    curl_easy_getinfo(h, CURLINFO_SIZE_UPLOAD_T, &up);
    if (up != t.lastUp) {
        t.lastUp = up;
        t.lastActivity = now;
    }
    const bool sending = !t.headStarted && up < static_cast<curl_off_t>(t.req->body.size());
    const long limit = sending ? t.sendLimitMs : t.receiveLimitMs;
    if (std::chrono::duration_cast<std::chrono::milliseconds>(now - t.lastActivity).count() > limit) {
        t.timedOut = true;
        return true;
    }
    return false;
}

bool isTlsError(CURLcode rc) {
    switch (rc) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
            return true;
        default:
            return false;
    }
}

void classifyFailure(CURLcode rc, const Transfer& t, NetResult& r) {
    r.curlCode = static_cast<int>(rc);
    const NetStep afterHead = t.headStarted ? NetStep::Body : NetStep::Receive;
    if (t.cancelled) {
        r.step = NetStep::Cancelled;
        return;
    }
    if (t.tooLarge) {
        r.step = NetStep::TooLarge;
        return;
    }
    if (t.timedOut) {
        r.curlCode = CURLE_OPERATION_TIMEDOUT;
        r.timedOut = true;
        const bool sending = !t.headStarted && t.lastUp < static_cast<curl_off_t>(t.req->body.size());
        r.step = sending ? NetStep::Send : afterHead;
        return;
    }
    switch (rc) {
        case CURLE_FAILED_INIT:
        case CURLE_OUT_OF_MEMORY:
            r.step = NetStep::Session;
            return;
        case CURLE_URL_MALFORMAT:
            r.step = NetStep::Request;
            return;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            r.step = NetStep::Connect;
            return;
        case CURLE_OPERATION_TIMEDOUT:
            // Only curl's connect limit is left to run out here.
            r.timedOut = true;
            r.step = t.connected ? afterHead : NetStep::Connect;
            return;
        case CURLE_SEND_ERROR:
            r.step = t.headStarted ? NetStep::Body : NetStep::Send;
            return;
        case CURLE_PARTIAL_FILE:
            r.step = NetStep::Body;
            return;
        default:
            r.step = isTlsError(rc) ? NetStep::Send : afterHead;
            return;
    }
}

// Runs the transfer, waking at least every 50 ms so that silence and cancel are noticed
// promptly (curl's own progress callback may wait a second between calls). The multi
// handle holds the connection cache: a kept one keeps the connections.
CURLcode performWatched(CURLM* m, CURL* h, Transfer& t) {
    curl_multi_add_handle(m, h);
    CURLcode rc = CURLE_OK;
    for (int running = 1; running;) {
        if (curl_multi_perform(m, &running) != CURLM_OK) {
            rc = CURLE_FAILED_INIT;
            break;
        }
        if (!running) break;
        if (mustStop(h, t)) {
            rc = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(m, nullptr, 0, 50, nullptr);
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(m, &left))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) rc = msg->data.result;
    curl_multi_remove_handle(m, h);
    return rc;
}

}  // namespace

// One easy handle (reset before each request: options go, connections stay) and the multi
// handle whose cache keeps the connections.
struct NetClientState {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
};

NetClient::~NetClient() {
    if (!state) return;
    if (state->easy) curl_easy_cleanup(state->easy);
    if (state->multi) curl_multi_cleanup(state->multi);
    delete state;
}

namespace {

// The handles of a request: the client's, or fresh ones that cleanup() frees.
struct Handles {
    NetClientState own;
    NetClientState* used = nullptr;
    bool make(NetClient* client) {
        used = &own;
        if (client) {
            if (!client->state) client->state = new NetClientState;
            used = client->state;
        }
        if (!used->multi) used->multi = curl_multi_init();
        if (!used->easy) used->easy = curl_easy_init();
        else curl_easy_reset(used->easy);
        return used->easy && used->multi;
    }
    ~Handles() {
        if (own.easy) curl_easy_cleanup(own.easy);
        if (own.multi) curl_multi_cleanup(own.multi);
    }
};

}  // namespace

NetResult netRequest(const NetRequest& req) {
    NetResult r;
    ensureCurlGlobal();
    if (!hostLooksValid(req.host) || !pathLooksValid(req.path)) {
        r.step = NetStep::Request;
        r.curlCode = CURLE_URL_MALFORMAT;
        r.detail = "invalid host or path";
        return r;
    }
    Handles handles;
    const bool made = handles.make(req.client);
    CURL* h = handles.used->easy;
    if (!made) {
        r.step = NetStep::Session;
        r.curlCode = CURLE_FAILED_INIT;
        return r;
    }

    const NetLimits limits = netLimits(req);
    const long resolveMs = limits.resolveMs, connectMs = limits.connectMs;
    const long sendMs = limits.sendMs, receiveMs = limits.receiveMs;

    const std::string url = netResolveUrl(req.host, req.port, req.path);
    // Plain http is allowed only where the host map sends a request on purpose.
    const char* protocols = url.rfind("http://", 0) == 0 ? "http,https" : "https";

    Transfer t;
    t.req = &req;
    t.res = &r;
    t.sendLimitMs = sendMs;
    t.receiveLimitMs = receiveMs;
    t.lastActivity = Clock::now();

    char errbuf[CURL_ERROR_SIZE] = {0};
    curl_slist* headers = nullptr;
    for (const std::string& hd : req.headers) headers = curl_slist_append(headers, hd.c_str());
    // A large POST must not stall a second on "Expect: 100-continue".
    if (!req.body.empty() || req.method == "POST") headers = curl_slist_append(headers, "Expect:");

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    const std::string ca = testCaFile();
    if (!ca.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, ca.c_str());
    curl_easy_setopt(h, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, resolveMs + connectMs);
    if (!req.userAgent.empty()) curl_easy_setopt(h, CURLOPT_USERAGENT, req.userAgent.c_str());
    if (headers) curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    if (req.method == "GET") {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else {
        if (req.method == "POST" || !req.body.empty()) {
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(req.body.size()));
            curl_easy_setopt(h, CURLOPT_POSTFIELDS, req.body.data());
        }
        if (req.method != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, req.method.c_str());
    }
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, onConnected);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &t);

    const CURLcode rc = performWatched(handles.used->multi, h, t);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status != 0) r.status = status;
    if (rc == CURLE_OK) {
        // Fewer bytes than announced is a cut-off body, whatever the server claimed.
        const bool noBody = r.status == 204 || r.status == 304 || req.method == "HEAD";
        if (!noBody && r.contentLength >= 0 && static_cast<int64_t>(r.body.size()) < r.contentLength) {
            r.step = NetStep::Body;
            r.curlCode = CURLE_PARTIAL_FILE;
        }
    } else {
        classifyFailure(rc, t, r);
        r.detail = errbuf[0] ? errbuf : curl_easy_strerror(rc);
    }
    // The handle keeps pointers to these until its next reset.
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(headers);
    return r;
}
