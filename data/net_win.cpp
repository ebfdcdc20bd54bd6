// The transport of data/net.h on WinHTTP in asynchronous mode: every call's completion is
// awaited in short slices, so a raised cancel flag ends the request within about 50 ms, at
// any step (a synchronous WinHTTP call cannot be interrupted).
#include "data/net.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "data/net_common.h"
#include "data/paths.h"

namespace {

// What the status callback reports back to the waiting thread. It lives until the request
// handle's closing notice: freed by the waiting thread when that notice comes soon, else by
// the callback itself (Wine sends it only once a cancelled socket read has ended).
struct Async {
    HANDLE completed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD error = 0;  // from WINHTTP_CALLBACK_STATUS_REQUEST_ERROR
    DWORD bytes = 0;  // data available or read
    std::atomic<int> owner{0};  // 0 = the waiting thread, 1 = handed to the callback, 2 = closed
    ~Async() {
        CloseHandle(completed);
        CloseHandle(closed);
    }
};

void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    auto* a = reinterpret_cast<Async*>(context);
    if (!a) return;
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            SetEvent(a->completed);
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            a->bytes = *static_cast<DWORD*>(info);
            SetEvent(a->completed);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            a->bytes = length;
            SetEvent(a->completed);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            a->error = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
            if (a->error == 0) a->error = ERROR_WINHTTP_INTERNAL_ERROR;
            SetEvent(a->completed);
            break;
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            if (a->owner.exchange(2) == 1) delete a;
            else SetEvent(a->closed);
            break;
        default:
            break;
    }
}

}  // namespace

// Sessions by user agent (the agent is fixed when a session opens), each with one connect
// handle per host and port; WinHTTP keeps the connections of a connect handle open.
struct NetClientState {
    struct Session {
        std::wstring agent;
        HINTERNET session = nullptr;
        std::vector<std::pair<std::wstring, HINTERNET>> connects;  // "host:port" -> handle
    };
    std::vector<Session> sessions;
};

NetClient::~NetClient() {
    if (!state) return;
    for (auto& s : state->sessions) {
        for (auto& c : s.connects) WinHttpCloseHandle(c.second);
        WinHttpCloseHandle(s.session);
    }
    delete state;
}

namespace {

// The handles of one request. session and connect are the client's when it has one (they
// stay open), else this request's own (closed with it).
struct Handles {
    Async& async = *new Async;
    HINTERNET session = nullptr, connect = nullptr, request = nullptr;
    bool borrowed = false;
    ~Handles() {
        if (!request) {
            delete &async;
        } else {
            WinHttpCloseHandle(request);
            if (WaitForSingleObject(async.closed, 100) == WAIT_OBJECT_0) {
                delete &async;
            } else if (async.owner.exchange(1) == 2) {
                WaitForSingleObject(async.closed, INFINITE);  // the notice came just now
                delete &async;
            }
        }
        if (borrowed) return;
        if (connect) WinHttpCloseHandle(connect);
        if (session) WinHttpCloseHandle(session);
    }
};

HINTERNET openSession(const std::wstring& agent) {
    return WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                       WINHTTP_FLAG_ASYNC);
}

// The session for agent: the client's (opened on first use) or a new one of the request's own.
HINTERNET sessionFor(NetClient* client, const std::wstring& agent, Handles& h) {
    if (!client) return h.session = openSession(agent);
    if (!client->state) client->state = new NetClientState;
    for (auto& s : client->state->sessions)
        if (s.agent == agent) return h.session = s.session;
    HINTERNET session = openSession(agent);
    if (session) client->state->sessions.push_back({agent, session, {}});
    return h.session = session;
}

// The connect handle for host and port, kept by the client when there is one.
HINTERNET connectFor(NetClient* client, const std::wstring& host, INTERNET_PORT port, Handles& h) {
    NetClientState::Session* kept = nullptr;
    if (client && client->state)
        for (auto& s : client->state->sessions)
            if (s.session == h.session) kept = &s;
    const std::wstring key = host + L":" + std::to_wstring(port);
    if (kept)
        for (auto& c : kept->connects)
            if (c.first == key) return h.connect = c.second;
    h.connect = WinHttpConnect(h.session, host.c_str(), port, 0);
    if (kept && h.connect) kept->connects.emplace_back(key, h.connect);
    return h.connect;
}

enum class Wait { Done, Failed, Cancelled };

// Awaits the completion of the call just started (started = its return value).
Wait await(Handles& h, BOOL started, const std::atomic<bool>* cancel) {
    if (!started) {
        h.async.error = GetLastError();
        return Wait::Failed;
    }
    for (;;) {
        if (WaitForSingleObject(h.async.completed, 50) == WAIT_OBJECT_0) {
            // Wine reports a socket timeout by its Winsock number; Windows by WinHTTP's.
            if (h.async.error == WSAETIMEDOUT) h.async.error = ERROR_WINHTTP_TIMEOUT;
            return h.async.error == 0 ? Wait::Done : Wait::Failed;
        }
        if (cancel && cancel->load()) return Wait::Cancelled;
    }
}

std::wstring queryHeader(HINTERNET req, DWORD info, const wchar_t* name = WINHTTP_HEADER_NAME_BY_INDEX) {
    DWORD size = 0;
    WinHttpQueryHeaders(req, info, name, WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
    std::wstring v(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(req, info, name, v.data(), &size, WINHTTP_NO_HEADER_INDEX)) return {};
    v.resize(size / sizeof(wchar_t));
    return v;
}

// WinHttpConnect only names the host: resolving and connecting fail at the send.
NetStep sendFailureStep(DWORD e) {
    switch (e) {
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        case ERROR_WINHTTP_CANNOT_CONNECT:
        case ERROR_WINHTTP_TIMEOUT:
            return NetStep::Connect;
        default:
            return NetStep::Send;
    }
}

// Runs the exchange on open handles; the caller has checked the request and built the URL.
// WinHTTP's defaults hold for the rest: at most 10 redirects, never from https down to http,
// peers verified against the Windows certificate store.
void exchange(const NetRequest& req, const std::wstring& url, const NetLimits& limits, Handles& h, NetResult& r) {
    URL_COMPONENTS uc{};
    uc.dwStructSize = sizeof uc;
    uc.dwHostNameLength = uc.dwUrlPathLength = uc.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &uc)) {
        r.step = NetStep::Request;
        return;
    }
    const std::wstring host(uc.lpszHostName, uc.dwHostNameLength);
    const std::wstring object = std::wstring(uc.lpszUrlPath, uc.dwUrlPathLength) +
                                std::wstring(uc.lpszExtraInfo, uc.dwExtraInfoLength);
    const bool secure = uc.nScheme == INTERNET_SCHEME_HTTPS;

    if (!connectFor(req.client, host, uc.nPort, h)) {
        r.step = NetStep::Connect;
        r.curlCode = static_cast<int>(GetLastError());
        return;
    }
    const std::wstring verb = utf8ToWide(req.method);
    h.request = WinHttpOpenRequest(h.connect, verb.c_str(), object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                   WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0);
    if (!h.request) {
        r.step = NetStep::Request;
        return;
    }
    WinHttpSetStatusCallback(h.request, onStatus,
                             WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES, 0);
    // On the request, as a kept session serves requests with other limits. The receive
    // timeout bounds each wait for data: the longest silence.
    WinHttpSetTimeouts(h.request, static_cast<int>(limits.resolveMs), static_cast<int>(limits.connectMs),
                       static_cast<int>(limits.sendMs), static_cast<int>(limits.receiveMs));
    // Wine waits for the response head without bound unless this is set apart from the timeouts.
    DWORD headWait = static_cast<DWORD>(limits.receiveMs);
    WinHttpSetOption(h.request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headWait, sizeof headWait);
    std::wstring headers;
    for (const std::string& hd : req.headers) headers += utf8ToWide(hd) + L"\r\n";

    auto failed = [&](Wait w, NetStep step) {
        r.curlCode = static_cast<int>(h.async.error);
        r.timedOut = h.async.error == ERROR_WINHTTP_TIMEOUT;
        r.step = w == Wait::Cancelled || h.async.error == ERROR_WINHTTP_OPERATION_CANCELLED ? NetStep::Cancelled : step;
    };
    const bool hasBody = !req.body.empty() || req.method == "POST";
    const DWORD bodyLen = static_cast<DWORD>(req.body.size());
    Wait w = await(h,
                   WinHttpSendRequest(h.request, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                      headers.empty() ? 0 : static_cast<DWORD>(-1),
                                      hasBody ? const_cast<char*>(req.body.data()) : WINHTTP_NO_REQUEST_DATA,
                                      hasBody ? bodyLen : 0, hasBody ? bodyLen : 0,
                                      reinterpret_cast<DWORD_PTR>(&h.async)),
                   req.cancel);
    if (w != Wait::Done) {
        failed(w, sendFailureStep(h.async.error));
        return;
    }
    if ((w = await(h, WinHttpReceiveResponse(h.request, nullptr), req.cancel)) != Wait::Done) {
        failed(w, NetStep::Receive);
        return;
    }
    DWORD status = 0, size = sizeof status;
    if (WinHttpQueryHeaders(h.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        r.status = static_cast<long>(status);
    const std::string lengthText = wideToUtf8(queryHeader(h.request, WINHTTP_QUERY_CONTENT_LENGTH));
    if (!lengthText.empty()) {
        char* end = nullptr;
        const long long cl = std::strtoll(lengthText.c_str(), &end, 10);
        if (end != lengthText.c_str() && cl >= 0) r.contentLength = cl;
    }
    r.contentType = trimSpaces(wideToUtf8(queryHeader(h.request, WINHTTP_QUERY_CONTENT_TYPE)));
    r.retryAfter = trimSpaces(wideToUtf8(queryHeader(h.request, WINHTTP_QUERY_CUSTOM, L"Retry-After")));
    if (r.contentLength > static_cast<int64_t>(req.maxBodyBytes)) {
        r.step = NetStep::TooLarge;
        return;
    }
    if (req.bytesTotal) req.bytesTotal->store(std::max<int64_t>(r.contentLength, 0));
    if (req.bytesDone) req.bytesDone->store(0);

    std::string buf;
    for (;;) {
        if ((w = await(h, WinHttpQueryDataAvailable(h.request, nullptr), req.cancel)) != Wait::Done) {
            failed(w, NetStep::Body);
            return;
        }
        const DWORD avail = h.async.bytes;
        if (avail == 0) break;
        if (r.body.size() + avail > req.maxBodyBytes) {
            r.step = NetStep::TooLarge;
            return;
        }
        buf.resize(avail);
        if ((w = await(h, WinHttpReadData(h.request, buf.data(), avail, nullptr), req.cancel)) != Wait::Done) {
            failed(w, NetStep::Body);
            return;
        }
        r.body.append(buf.data(), h.async.bytes);
        if (req.bytesDone) req.bytesDone->fetch_add(static_cast<int64_t>(h.async.bytes));
    }
    // Fewer bytes than announced is a cut-off body, whatever the server claimed.
    const bool noBody = r.status == 204 || r.status == 304 || req.method == "HEAD";
    if (!noBody && r.contentLength >= 0 && static_cast<int64_t>(r.body.size()) < r.contentLength) {
        r.step = NetStep::Body;
        r.curlCode = ERROR_WINHTTP_CONNECTION_ERROR;
    }
}

}  // namespace

NetResult netRequest(const NetRequest& req) {
    NetResult r;
    if (!hostLooksValid(req.host) || !pathLooksValid(req.path)) {
        r.step = NetStep::Request;
        r.curlCode = ERROR_WINHTTP_INVALID_URL;
        r.detail = "invalid host or path";
        return r;
    }
    const NetLimits limits = netLimits(req);
    Handles h;
    h.borrowed = req.client != nullptr;
    if (!sessionFor(req.client, utf8ToWide(req.userAgent), h)) {
        r.step = NetStep::Session;
        r.curlCode = static_cast<int>(GetLastError());
        return r;
    }
    exchange(req, utf8ToWide(netResolveUrl(req.host, req.port, req.path)), limits, h, r);
    if (r.step != NetStep::None && r.detail.empty()) r.detail = "WinHTTP error " + std::to_string(r.curlCode);
    return r;
}
