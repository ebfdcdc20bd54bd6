// The platform part of data/paths.h on Windows.
#include "data/paths.h"

#include <windows.h>

#include <cstdlib>

std::string getExeDir() {
    if (const char* env = std::getenv("KESTRELBOX_DIR"); env && *env) {
        std::string d(env);
        if (d.back() != '/' && d.back() != '\\') d.push_back('/');
        return d;
    }
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return std::string();
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(buf.size() * 2);  // truncated: the path is longer than the buffer
    }
    const size_t slash = buf.find_last_of(L"\\/");
    if (slash != std::wstring::npos) buf.erase(slash + 1);
    return wideToUtf8(buf);
}

