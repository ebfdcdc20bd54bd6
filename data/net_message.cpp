#include "data/net.h"

std::string netFailureMessage(const NetResult& r, bool shortForm) {
    // "<step> 失败" + an optional note in full-width brackets + the error code.
    auto text = [&](const char* step, std::string note, bool withCode) {
        std::string s = std::string(step) + " 失败";
        if (!note.empty()) s += "（" + note + "）";
        if (withCode) s += (shortForm ? ": " : note.empty() ? " errno=" : "errno=") + std::to_string(r.curlCode);
        return s;
    };
    auto sendText = [&](const std::string& note) {
        return std::string("WinHttpSendRequest 失败") + (shortForm ? ": " : " errno=") + std::to_string(r.curlCode) +
               (note.empty() ? "" : "（" + note + "）");
    };
    switch (r.step) {
        case NetStep::Session: return "WinHttpOpen 失败";
        case NetStep::Request: return "WinHttpOpenRequest 失败";
        // WinHTTP resolves and connects inside WinHttpSendRequest: the send step's text, then why.
        case NetStep::Connect: return sendText(r.timedOut ? "连接超时" : "DNS 或网络问题");
        case NetStep::Send: return sendText(r.timedOut ? "发送超时" : "");
        case NetStep::Receive: return text("WinHttpReceiveResponse", r.timedOut ? "等待响应超时" : "", !shortForm);
        case NetStep::Body: return text("WinHttpReadData", r.timedOut ? "接收数据超时" : "连接中断", true);
        case NetStep::None:
        case NetStep::TooLarge:
        case NetStep::Cancelled: break;
    }
    return {};
}
