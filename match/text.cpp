#include "match/text.h"

namespace {

bool isRomanLetter(unsigned char c) {
    return c == 'I' || c == 'V' || c == 'X' || c == 'i' || c == 'v' || c == 'x';
}

bool isAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool isChineseChar(unsigned char lead, std::string_view s, size_t pos) {
    if (pos >= s.size()) return false;
    const size_t left = s.size() - pos;
    const auto at = [&](size_t i) { return static_cast<unsigned char>(s[pos + i]); };
    uint32_t cp = 0;
    if (lead >= 0xC0 && lead <= 0xDF) return false;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3) return false;
        cp = ((lead & 0x0Fu) << 12) | ((at(1) & 0x3Fu) << 6) | (at(2) & 0x3Fu);
    } else if (lead >= 0xF0 && lead <= 0xF7) {
        if (left < 4) return false;
        cp = ((lead & 0x07u) << 18) | ((at(1) & 0x3Fu) << 12) | ((at(2) & 0x3Fu) << 6) |
             (at(3) & 0x3Fu);
    } else {
        return false;
    }
    return (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF);
}

int classifyNameType(std::string_view title) {
    if (title.empty()) return NameType::English;
    size_t latin = 0;
    size_t chinese = 0;
    size_t i = 0;
    while (i < title.size()) {
        const auto c = static_cast<unsigned char>(title[i]);
        if (c < 0x80) {
            if (isAsciiLetter(c)) ++latin;
            ++i;
            continue;
        }
        if (isChineseChar(c, title, i)) ++chinese;
        i += utf8SeqLen(c);
    }
    if (latin == 0 || chinese == 0) return chinese != 0 ? NameType::Chinese : NameType::English;
    return chinese < latin ? NameType::Mixed : NameType::Chinese;
}

void splitCnEn(std::string_view s, std::string& cn, std::string& en) {
    cn.clear();
    en.clear();
    cn.reserve(s.size());
    en.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            en.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        const size_t len = utf8SeqLen(c);
        if (len > s.size() - i) break;
        cn.append(s.data() + i, len);
        i += len;
    }
}

std::pair<std::string, std::string> splitNameToCnEn(std::string_view title) {
    const int type = classifyNameType(title);
    if (type == NameType::English) return {std::string(), std::string(title)};
    if (type == NameType::Chinese) return {std::string(title), std::string()};

    const size_t n = title.size();
    size_t first = n;
    size_t last = n;
    size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(title[i]);
        if (c >= 0x80 && isChineseChar(c, title, i)) {
            if (first == n) first = i;
            last = i;
            i += utf8SeqLen(c);
        } else {
            ++i;
        }
    }
    if (first == n) return {std::string(), std::string(title)};

    // Roman numeral right after the last Chinese character: keep it with the
    // Chinese part (最终幻想XV Final Fantasy XV).
    size_t p = last + 1;
    while (p < n && static_cast<unsigned char>(title[p]) >= 0x80) ++p;
    if (p < n) {
        size_t q = p;
        while (q < n && isRomanLetter(static_cast<unsigned char>(title[q]))) ++q;
        if (q == n) return {std::string(title), std::string()};
        if (q > p && title[q] == ' ')
            return {std::string(title.substr(0, q)), std::string(title.substr(q))};
    }
    return {std::string(title.substr(0, first)), std::string(title.substr(first))};
}

std::vector<std::string> tokenizeUtf8(std::string_view s) {
    std::vector<std::string> out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const size_t len = utf8SeqLen(static_cast<unsigned char>(s[i]));
        if (len > s.size() - i) break;
        out.emplace_back(s.data() + i, len);
        i += len;
    }
    return out;
}
