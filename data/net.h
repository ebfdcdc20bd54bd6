// HTTP(S) transport: one blocking request per call. A request made with a NetClient leaves
// its connection open for the client's next request to the same host; without one it opens
// and closes its own. This is a platform interface: libcurl on Linux (net.cpp), WinHTTP on Windows (net_win.cpp); what both
// share is in net_common.cpp.
//
// Every request of the program (store API, image CDN, screenshot hosts, chat services)
// goes through netRequest, so the host map below applies to all of them.
//
// KESTRELBOX_HOST_MAP (testing aid): a comma-separated list of host=base pairs, e.g.
//   store.steampowered.com=http://127.0.0.1:18080,cdn.akamai.steamstatic.com=http://127.0.0.1:18081
// A request for a listed host is sent to that base address instead (its scheme, host and
// port replace https://host:443; the path is kept). Hosts are compared case-insensitively.
//
// TLS peers are verified against the system's certificate store; verification cannot be
// switched off. Redirects are followed (at most 10), never from https down to http.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// The step at which a request failed; callers turn it into their own message.
enum class NetStep : int32_t {
    None = 0,       // transfer complete (any HTTP status)
    Session,        // libcurl could not be set up
    Request,        // the host or path cannot form a URL
    Connect,        // name resolution or TCP connect
    Send,           // TLS handshake or sending the request
    Receive,        // waiting for the response head
    Body,           // reading the body: cut off, stalled or broken
    TooLarge,       // body above maxBodyBytes
    Cancelled,      // the cancel flag was raised
};

// Connections kept open between the requests of one job. A job makes one per thread that
// sends requests and passes it with each of them; the connections close with it. Never used
// by two threads at once. (How the transport keeps them is its own business.)
struct NetClientState;
struct NetClient {
    NetClient() = default;
    ~NetClient();
    NetClient(const NetClient&) = delete;
    NetClient& operator=(const NetClient&) = delete;
    NetClientState* state = nullptr;  // made by the first request
};

struct NetRequest {
    std::string method = "GET";
    std::string host;                  // bare host name: no scheme, no port
    std::string path = "/";            // absolute path with its (already encoded) query
    std::vector<std::string> headers;  // "Name: value"
    std::string body;                  // sent when not empty (or when method is POST)
    std::string userAgent;
    int32_t port = 443;                // https only; 443 unless a caller needs another
    // Limits: resolve + connect bound the connection (TLS handshake included); after it,
    // send is the longest silence while the request goes out, receive the longest silence
    // while waiting for the head and between body bytes. None bounds the whole exchange.
    long resolveTimeoutMs = 15000;
    long connectTimeoutMs = 15000;
    long sendTimeoutMs = 30000;
    long receiveTimeoutMs = 30000;
    size_t maxBodyBytes = 16u << 20;
    // Optional progress: total gets Content-Length (0 when absent), done counts body bytes.
    std::atomic<int64_t>* bytesTotal = nullptr;
    std::atomic<int64_t>* bytesDone = nullptr;
    // Optional: raising it ends the request (and any wait in it) within about 50 ms.
    const std::atomic<bool>* cancel = nullptr;
    // Optional: the job's kept connections; nullptr = a connection of this request's own.
    NetClient* client = nullptr;
};

struct NetResult {
    NetStep step = NetStep::None;  // None = the whole response was received
    long status = 0;               // HTTP status of the final response, 0 when none
    std::string body;              // body bytes as received (also on most failures)
    int64_t contentLength = -1;    // announced size of the final response, -1 when absent
    std::string retryAfter;        // Retry-After header of the final response, as sent
    std::string contentType;       // Content-Type header of the final response, as sent
    bool timedOut = false;         // step failed because a limit ran out (not a refusal or a cut)
    int curlCode = 0;              // the transport's error code (CURLE_* or WinHTTP's), 0 on success
    std::string detail;            // the transport's error text, for diagnostics
};

NetResult netRequest(const NetRequest& req);

// The message of a failed step (not TooLarge or Cancelled, whose words are the caller's), in
// the words the users know: "WinHttpSendRequest 失败 errno=7（DNS 或网络问题）" (resolving and
// connecting are part of the send), "WinHttpReadData 失败（连接中断）errno=18", and for a
// timeout the step with "（连接超时）", "（发送超时）", "（等待响应超时）" or "（接收数据超时）".
// shortForm: the store API's older wording (": " before the code, no code after a receive
// failure). Shared by every platform's transport.
std::string netFailureMessage(const NetResult& r, bool shortForm);

// The URL a request is sent to after the host map: "https://host[:port]/path" or "<base>/path".
std::string netResolveUrl(const std::string& host, int32_t port, const std::string& path);

// Seconds since 1970 of an HTTP date in the form servers send ("Sun, 06 Nov 1994 08:49:37 GMT"),
// -1 for anything else.
time_t netParseHttpDate(const std::string& text);

// ---- Test-only settings (never used by the program itself) ----
// Extra CA bundle used instead of the system store, e.g. for a loopback TLS server whose
// certificate a test made. Empty = system store. Env KESTRELBOX_TEST_CA_FILE does the same.
void netSetTestCaFile(const std::string& path);
// When above 0, caps every timeout of every request at this many milliseconds so a test
// against a silent server ends quickly. 0 = off. Env KESTRELBOX_TEST_TIMEOUT_MS does the same.
void netSetTestTimeoutMs(long ms);
