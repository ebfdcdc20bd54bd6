#include "steam/json.h"

#include <cstring>
#include <stdexcept>

#include "data/utf8.h"

namespace {

bool isWs(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The low half of a UTF-16 pair written as "\\uXXXX" at s[at], or 0 when none stands there.
char32_t lowSurrogateAt(const std::string& s, size_t at) {
    if (at + 6 > s.size() || s[at] != '\\' || s[at + 1] != 'u') return 0;
    char32_t u = 0;
    for (size_t k = at + 2; k < at + 6; ++k) {
        const int d = hexDigit(s[k]);
        if (d < 0) return 0;
        u = u * 16 + static_cast<char32_t>(d);
    }
    return isLowSurrogate(u) ? u : 0;
}

// Appends the code point of one \u escape whose four digits were read; a high half followed by
// an escaped low half joins it into one character (consumed bytes added to pos), and a lone half
// becomes U+FFFD, so the text stays valid UTF-8.
void appendEscaped(std::string& out, char32_t cp, const std::string& s, size_t& pos) {
    if (isHighSurrogate(cp)) {
        if (const char32_t lo = lowSurrogateAt(s, pos)) {
            cp = joinSurrogates(cp, lo);
            pos += 6;
        }
    }
    appendUtf8(out, cp);
}

// Escapes shared by the reader and decodeJsonString; false for \u and unknown bytes.
bool simpleEscape(char c, char& outByte) {
    switch (c) {
        case '"': case '/': case '\\': outByte = c; return true;
        case 'b': outByte = 8; return true;
        case 'f': outByte = 12; return true;
        case 'n': outByte = 10; return true;
        case 'r': outByte = 13; return true;
        case 't': outByte = 9; return true;
        default: return false;
    }
}

bool isNumberByte(char c) {
    return c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 'E' || c == 'e';
}

}  // namespace

JsonValue::JsonValue() = default;
JsonValue::~JsonValue() = default;
JsonValue::JsonValue(const JsonValue&) = default;
JsonValue::JsonValue(JsonValue&&) noexcept = default;
JsonValue& JsonValue::operator=(const JsonValue&) = default;
JsonValue& JsonValue::operator=(JsonValue&&) noexcept = default;

const JsonValue* JsonValue::find(const std::string& key) const {
    if (type != JsonType::Object) return nullptr;
    for (const auto& m : objectMembers)
        if (m.first == key) return &m.second;
    return nullptr;
}

void JsonParser::skipWhitespace() {
    while (pos < text.size() && isWs(text[pos])) ++pos;
}

bool JsonParser::parseValue(JsonValue& out) {
    skipWhitespace();
    if (pos >= text.size()) {
        error = "eof";
        return false;
    }
    const char c = text[pos];
    if (c == '"') return parseString(out);
    if (c == '[') return parseArray(out);
    if (c == '{') return parseObject(out);
    if (c == 't' || c == 'f') {
        out.type = JsonType::Bool;
        if (text.compare(pos, 4, "true") == 0) {
            out.boolValue = true;
            pos += 4;
            return true;
        }
        if (text.compare(pos, 5, "false") == 0) {
            out.boolValue = false;
            pos += 5;
            return true;
        }
        error = "bad bool";
        return false;
    }
    if (c == 'n') {
        out.type = JsonType::Null;
        if (text.compare(pos, 4, "null") == 0) {
            pos += 4;
            return true;
        }
        error = "bad null";
        return false;
    }
    return parseNumber(out);
}

bool JsonParser::parseString(JsonValue& out) {
    out.type = JsonType::String;
    if (pos >= text.size() || text[pos] != '"') {
        error = "expect quote";
        return false;
    }
    ++pos;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"') return true;
        if (c != '\\') {
            out.stringValue += c;
            continue;
        }
        if (pos >= text.size()) {
            error = "bad escape";
            return false;
        }
        const char e = text[pos++];
        char b = 0;
        if (simpleEscape(e, b)) {
            out.stringValue += b;
        } else if (e == 'u') {
            if (pos + 4 > text.size()) {
                error = "bad \\u";
                return false;
            }
            char32_t cp = 0;
            for (int i = 0; i < 4; ++i) {
                const int d = hexDigit(text[pos + i]);
                if (d < 0) {
                    error = "bad \\u hex";
                    return false;
                }
                cp = cp * 16 + static_cast<char32_t>(d);
            }
            pos += 4;
            appendEscaped(out.stringValue, cp, text, pos);
        } else {
            out.stringValue += e;
        }
    }
    error = "unterminated string";
    return false;
}

bool JsonParser::parseNumber(JsonValue& out) {
    out.type = JsonType::Number;
    const size_t start = pos;
    if (pos < text.size() && text[pos] == '-') ++pos;
    while (pos < text.size() && isNumberByte(text[pos])) ++pos;
    if (pos == start) {
        error = "bad num";
        return false;
    }
    const std::string token = text.substr(start, pos - start);
    try {
        out.numberValue = std::stod(token);
    } catch (const std::exception&) {
        error = "bad num value";
        return false;
    }
    return true;
}

bool JsonParser::parseArray(JsonValue& out) {
    out.type = JsonType::Array;
    if (++depth > kJsonMaxDepth) {
        error = "too deep";
        return false;
    }
    ++pos;  // '['
    skipWhitespace();
    if (pos < text.size() && text[pos] == ']') {
        ++pos;
        --depth;
        return true;
    }
    for (;;) {
        skipWhitespace();
        if (pos >= text.size()) return false;  // ends after '[' or ',': no message
        JsonValue item;
        if (!parseValue(item)) return false;
        out.arrayItems.push_back(std::move(item));
        skipWhitespace();
        if (pos >= text.size()) {
            error = "unterminated arr";
            return false;
        }
        const char c = text[pos++];
        if (c == ',') continue;
        if (c == ']') break;
        error = "expect comma or bracket";
        return false;
    }
    --depth;
    return true;
}

bool JsonParser::parseObject(JsonValue& out) {
    out.type = JsonType::Object;
    if (++depth > kJsonMaxDepth) {
        error = "too deep";
        return false;
    }
    ++pos;  // '{'
    skipWhitespace();
    if (pos < text.size() && text[pos] == '}') {
        ++pos;
        --depth;
        return true;
    }
    for (;;) {
        skipWhitespace();
        if (pos >= text.size()) return false;  // ends after '{' or ',': no message
        JsonValue key;
        if (!parseString(key)) return false;
        skipWhitespace();
        if (pos >= text.size() || text[pos] != ':') {
            error = "expect colon";
            return false;
        }
        ++pos;
        JsonValue value;
        if (!parseValue(value)) return false;
        out.objectMembers.emplace_back(std::move(key.stringValue), std::move(value));
        skipWhitespace();
        if (pos >= text.size()) {
            error = "unterminated obj";
            return false;
        }
        const char c = text[pos++];
        if (c == ',') continue;
        if (c == '}') break;
        error = "expect comma or brace";
        return false;
    }
    --depth;
    return true;
}

std::string decodeJsonString(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    const size_t n = raw.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = raw[i];
        if (c != '\\' || i + 1 >= n) {
            out += c;
            continue;
        }
        const char e = raw[i + 1];
        char b = 0;
        if (simpleEscape(e, b)) {
            out += b;
            i += 1;
        } else if (e == 'u') {
            if (i + 5 < n) {
                char32_t cp = 0;
                for (size_t k = i + 2; k <= i + 5; ++k) {
                    const int d = hexDigit(raw[k]);
                    cp = cp * 16 + static_cast<char32_t>(d < 0 ? 0 : d);
                }
                size_t next = i + 6;
                appendEscaped(out, cp, raw, next);
                i = next - 1;
            } else {
                out += 'u';
                i += 1;
            }
        } else {
            out += e;
            i += 1;
        }
    }
    return out;
}

namespace {

// End (one past the matching '}') of the object starting at open; json.size() when it
// never closes. Braces inside strings do not count.
size_t objectEnd(const std::string& json, size_t open) {
    int level = 0;
    bool inString = false;
    for (size_t i = open; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') inString = true;
        else if (c == '{') ++level;
        else if (c == '}' && --level == 0) return i + 1;
    }
    return json.size();
}

// Position of the first byte after `"key"`, ':' and spaces/tabs, or npos.
size_t valueStart(const std::string& obj, const char* quotedKey) {
    size_t p = obj.find(quotedKey);
    if (p == std::string::npos) return p;
    p = obj.find(':', p + std::strlen(quotedKey));
    if (p == std::string::npos) return p;
    ++p;
    while (p < obj.size() && (obj[p] == ' ' || obj[p] == '\t')) ++p;
    return p;
}

std::string itemName(const std::string& obj) {
    size_t p = valueStart(obj, "\"name\"");
    if (p == std::string::npos || p >= obj.size() || obj[p] != '"') return {};
    const size_t start = ++p;
    while (p < obj.size() && obj[p] != '"') p += obj[p] == '\\' ? 2 : 1;
    if (p > obj.size()) p = obj.size();
    return decodeJsonString(obj.substr(start, p - start));
}

int32_t itemAppid(const std::string& obj) {
    size_t p = valueStart(obj, "\"id\"");
    if (p == std::string::npos) return 0;
    uint32_t v = 0;
    while (p < obj.size() && obj[p] >= '0' && obj[p] <= '9') v = v * 10u + static_cast<uint32_t>(obj[p++] - '0');
    return static_cast<int32_t>(v);
}

}  // namespace

void extractAllSteamItems(const std::string& json, std::vector<std::pair<std::string, int32_t>>& items) {
    size_t p = json.find("\"items\"");
    if (p == std::string::npos) return;
    p = json.find('[', p);
    if (p == std::string::npos) return;
    ++p;
    while (p < json.size()) {
        const char c = json[p];
        if (c == ']') return;
        if (c != '{') {
            ++p;
            continue;
        }
        const size_t end = objectEnd(json, p);
        const std::string obj = json.substr(p, end - p);
        p = end;
        std::string name = itemName(obj);
        if (!name.empty()) items.emplace_back(std::move(name), itemAppid(obj));
    }
}

std::string urlEncode(const std::string& text) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '.' || c == '_' || c == '~';
        if (keep) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += HEX[c >> 4];
            out += HEX[c & 15];
        }
    }
    return out;
}
