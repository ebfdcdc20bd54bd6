#include "data/encoding.h"

#include "data/utf8.h"

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
