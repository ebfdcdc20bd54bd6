#include "data/encoding.h"

size_t decodeUtf8Char(std::string_view s, size_t i, char32_t& cp) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    const size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return 0;
    cp = len == 2 ? (c & 0x1Fu) : len == 3 ? (c & 0x0Fu) : (c & 0x07u);
    for (size_t k = 1; k < len; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3Fu);
    }
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    return len;
}

bool isValidUtf8(std::string_view s) {
    char32_t cp = 0;
    for (size_t i = 0; i < s.size();) {
        const size_t len = decodeUtf8Char(s, i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string_view skipUtf8Bom(std::string_view s) {
    return s.substr(0, 3) == "\xEF\xBB\xBF" ? s.substr(3) : s;
}

TextEncoding decodeTextFile(const std::string& bytes, std::string& text) {
    const std::string_view body = skipUtf8Bom(bytes);
    if (isValidUtf8(body)) {
        text.assign(body);
        return TextEncoding::Utf8;
    }
    if (gbkToUtf8(bytes, text)) return TextEncoding::Gbk;
    text = bytes;
    return TextEncoding::Unknown;
}

std::string textFileNote(const std::string& fileName, TextEncoding e) {
    if (e == TextEncoding::Gbk) return fileName + " 不是 UTF-8 编码，已按 GBK（代码页 936）读取并转换为 UTF-8。";
    if (e == TextEncoding::Unknown) return fileName + " 既不是 UTF-8 也不是 GBK 编码，中文内容可能无法识别。";
    return std::string();
}
