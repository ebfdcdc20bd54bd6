#include <windows.h>

#include "data/encoding.h"

bool gbkToUtf8(const std::string& gbk, std::string& utf8) {
    if (gbk.empty()) {
        utf8.clear();
        return true;
    }
    const int n = static_cast<int>(gbk.size());
    // MB_ERR_INVALID_CHARS: bytes that are not GBK fail instead of becoming '?'.
    const int wlen = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), n, nullptr, 0);
    if (wlen <= 0) return false;
    std::wstring wide(static_cast<size_t>(wlen), L'\0');
    if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), n, wide.data(), wlen) != wlen) return false;
    const int len = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wlen, nullptr, 0, nullptr, nullptr);
    if (len <= 0) return false;
    std::string out(static_cast<size_t>(len), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), wlen, out.data(), len, nullptr, nullptr) != len) return false;
    utf8 = std::move(out);
    return true;
}
