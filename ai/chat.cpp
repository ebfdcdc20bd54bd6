#include "ai/chat.h"

#include <algorithm>
#include <iterator>

#include "data/jobs.h"
#include "data/net.h"
#include "data/utf8.h"

const AiProvider kAiProviders[kAiProviderCount] = {
    {"通义千问", "dashscope.aliyuncs.com", "/compatible-mode/v1/chat/completions", 16384},
    {"文心一言", "qianfan.baidubce.com", "/v2/chat/completions", 8192},
    {"DeepSeek", "api.deepseek.com", "/v1/chat/completions", 16384},
    {"ChatGLM", "open.bigmodel.cn", "/api/paas/v4/chat/completions", 8192},
};

const AiModel kModelsQwen[6] = {
    {"qwen-plus (均衡)", "qwen-plus"},
    {"qwen-turbo (快速)", "qwen-turbo"},
    {"qwen3.6-plus (最新)", "qwen3.6-plus"},
    {"qwen3.6-flash (极速)", "qwen3.6-flash"},
    {"qwen3.6-max-preview (旗舰)", "qwen3.6-max-preview"},
    {"qwq-plus (推理)", "qwq-plus"},
};
const AiModel kModelsErnie[3] = {
    {"ernie-4.5-turbo-128k (旗舰)", "ernie-4.5-turbo-128k"},
    {"ernie-4.0-8k (4.0)", "ernie-4.0-8k"},
    {"ernie-3.5-8k (3.5)", "ernie-3.5-8k"},
};
const AiModel kModelsDeepseek[4] = {
    {"deepseek-chat (V3)", "deepseek-chat"},
    {"deepseek-reasoner (R1)", "deepseek-reasoner"},
    {"deepseek-v4-flash (V4快速)", "deepseek-v4-flash"},
    {"deepseek-v4-pro (V4旗舰)", "deepseek-v4-pro"},
};
const AiModel kModelsGlm[4] = {
    {"glm-4-flash (免费)", "glm-4-flash"},
    {"glm-4.5-flash (免费新版)", "glm-4.5-flash"},
    {"glm-4.5-air (高性价比)", "glm-4.5-air"},
    {"glm-4.6 (旗舰)", "glm-4.6"},
};
const AiModel* const kModelsByApi[kAiProviderCount] = {kModelsQwen, kModelsErnie, kModelsDeepseek, kModelsGlm};
const int32_t kModelsCountByApi[kAiProviderCount] = {
    static_cast<int32_t>(std::size(kModelsQwen)), static_cast<int32_t>(std::size(kModelsErnie)),
    static_cast<int32_t>(std::size(kModelsDeepseek)), static_cast<int32_t>(std::size(kModelsGlm))};

std::string aiModelId(int32_t api, int32_t row) {
    if (api < 0 || api >= kAiProviderCount || row < 0 || row >= kModelsCountByApi[api]) return "";
    return kModelsByApi[api][row].id;
}

std::string escapePromptForJson(const std::string& prompt) {
    static const char HEX[] = "0123456789abcdef";
    std::string out;
    out.reserve(prompt.size() + prompt.size() / 8 + 16);
    for (unsigned char c : prompt) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case 8: out += "\\b"; break;
            case 9: out += "\\t"; break;
            case 10: out += "\\n"; break;
            case 12: out += "\\f"; break;
            case 13: out += "\\r"; break;
            default:
                if (c < 32) {
                    out += "\\u00";
                    out += HEX[c >> 4];
                    out += HEX[c & 15];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

std::string buildChatRequestBody(int32_t api, const std::string& model, const std::string& prompt) {
    return "{\"model\":\"" + model + "\",\"temperature\":0.3,\"max_tokens\":" +
           std::to_string(kAiProviders[api].maxTokens) + ",\"messages\":[{\"role\":\"user\",\"content\":\"" +
           escapePromptForJson(prompt) + "\"}]}";
}

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;  // a stray byte counts as 0, like the store answers' reader does
}

// Four hex digits at raw[i..i+3], or -1 when they do not fit.
long hex4(const std::string& raw, size_t i) {
    if (i + 4 > raw.size()) return -1;
    long v = 0;
    for (size_t k = 0; k < 4; ++k) v = v * 16 + hexDigit(raw[i + k]);
    return v;
}

// Decodes "\uXXXX" (and a following low surrogate) starting at the 'u' at raw[i];
// returns the number of bytes consumed after the backslash.
size_t decodeUnicodeEscape(const std::string& raw, size_t i, std::string& out) {
    const long hi = hex4(raw, i + 1);
    if (hi < 0) {
        out += 'u';
        return 1;
    }
    if (isHighSurrogate(static_cast<char32_t>(hi)) && i + 6 < raw.size() && raw[i + 5] == '\\' && raw[i + 6] == 'u') {
        const long lo = hex4(raw, i + 7);
        if (lo >= 0 && isLowSurrogate(static_cast<char32_t>(lo))) {
            appendUtf8(out, joinSurrogates(static_cast<char32_t>(hi), static_cast<char32_t>(lo)));
            return 11;
        }
    }
    if (hi != 0) appendUtf8(out, static_cast<char32_t>(hi));  // a lone half becomes U+FFFD
    return 5;
}

// Index just past the end of a JSON string whose contents start at i: the first quote
// not escaped by a backslash, or the end of the text.
size_t stringEnd(const std::string& s, size_t i) {
    while (i < s.size() && s[i] != '"') i += s[i] == '\\' ? 2 : 1;
    return std::min(i, s.size());
}

// Position of the first byte after "key" ... ':' and blanks, when it opens a string;
// npos otherwise.
size_t stringValueAfter(const std::string& body, size_t keyPos, size_t keyLen) {
    if (keyPos == std::string::npos) return std::string::npos;
    size_t p = body.find(':', keyPos + keyLen);
    if (p == std::string::npos) return std::string::npos;
    ++p;
    while (p < body.size() && (body[p] == ' ' || body[p] == '\t' || body[p] == '\r' || body[p] == '\n')) ++p;
    if (p >= body.size() || body[p] != '"') return std::string::npos;
    return p + 1;
}

}  // namespace

std::string decodeChatString(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            out += raw[i];
            continue;
        }
        const char e = raw[++i];
        switch (e) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': i += decodeUnicodeEscape(raw, i, out) - 1; break;
            default: out += e;  // \" \\ \/ and any other byte: the byte itself
        }
    }
    return out;
}

std::string extractChatContent(const std::string& body) {
    size_t start = body.find("\"message\"");
    if (start == std::string::npos) start = 0;
    const size_t key = body.find("\"content\"", start);
    const size_t from = stringValueAfter(body, key, 9);
    if (from == std::string::npos) return "";
    return decodeChatString(body.substr(from, stringEnd(body, from) - from));
}

std::string extractFinishReason(const std::string& body) {
    const size_t from = stringValueAfter(body, body.find("\"finish_reason\""), 15);
    if (from == std::string::npos) return "";
    size_t end = body.find('"', from);
    if (end == std::string::npos) end = body.size();
    return body.substr(from, end - from);
}

namespace {

// Error texts quote the service's body; a service that echoes the key must not carry it
// into a message the user may copy or share.
std::string withoutKey(std::string text, const std::string& key) {
    if (key.size() < 4) return text;
    for (size_t p = text.find(key); p != std::string::npos; p = text.find(key, p + 3)) text.replace(p, key.size(), "***");
    return text;
}

bool keyIsSendable(const std::string& key) {
    for (unsigned char c : key)
        if (c < 32 || c == 127) return false;
    return true;
}

std::string failureText(const NetResult& r) {
    switch (r.step) {
        case NetStep::TooLarge: return "响应过大，已放弃读取。";
        case NetStep::Cancelled: return "请求已取消。";
        default: return netFailureMessage(r, false);
    }
}

}  // namespace

bool callAIApi(int32_t api, const std::string& model, const std::string& key, const std::string& prompt,
               std::string& content, std::string& err) {
    if (api < 0 || api >= kAiProviderCount) {
        err = "未知 API 选项";
        return false;
    }
    // A line break in the key would end the header and start another one of its text.
    if (!keyIsSendable(key)) {
        err = "API 密钥含有换行或控制字符，请重新输入。";
        return false;
    }
    const AiProvider& p = kAiProviders[api];
    NetRequest req;
    req.method = "POST";
    req.host = p.host;
    req.path = p.path;
    req.headers = {"Content-Type: application/json", "Authorization: Bearer " + key};
    req.body = buildChatRequestBody(api, model, prompt);
    req.userAgent = "kestrelbox/1.0";
    req.resolveTimeoutMs = 15000;
    req.connectTimeoutMs = 15000;
    req.sendTimeoutMs = 600000;
    req.receiveTimeoutMs = 600000;
    req.cancel = &gAiCancel;
    const NetResult r = netRequest(req);

    // An answer with a status outside 2xx is judged by it even when its body broke off; any
    // other unfinished transfer is a failure (a cut answer may read as a shorter valid one).
    const std::string body = withoutKey(r.body, key);
    const bool responded = r.step == NetStep::None || r.step == NetStep::Body;
    if (responded && (r.status < 200 || r.status > 299)) {
        err = "HTTP " + std::to_string(r.status) + ": " + utf8Prefix(body, 300);
        return false;
    }
    if (r.step != NetStep::None) {
        err = failureText(r);
        return false;
    }
    std::string answer = extractChatContent(r.body);
    if (answer.empty()) {
        err = "响应解析失败（无 content 字段）。片段: " + utf8Prefix(body, 300);
        return false;
    }
    gAiTruncated.store(extractFinishReason(r.body) == "length");
    content = std::move(answer);
    return true;
}
