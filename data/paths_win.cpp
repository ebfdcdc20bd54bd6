// The platform part of data/paths.h on Windows.
#include "data/paths.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

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

namespace {

// Another program may hold the clipboard for a moment; a few short retries ride that out.
bool openClipboard() {
    for (int i = 0; i < 10; ++i) {
        if (OpenClipboard(nullptr)) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

bool systemClipboardRead(std::string& out) {
    out.clear();
    if (!openClipboard()) return false;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            // The block may be larger than the text; the text ends at its first zero.
            const size_t cap = GlobalSize(h) / sizeof(wchar_t);
            out = wideToUtf8(std::wstring(p, wcsnlen(p, cap)));
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return true;
}

bool systemClipboardWrite(const std::string& utf8) {
    const std::wstring w = utf8ToWide(utf8);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t));
    if (!mem) return false;
    auto* p = static_cast<wchar_t*>(GlobalLock(mem));
    std::memcpy(p, w.c_str(), (w.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(mem);
    if (!openClipboard()) {
        GlobalFree(mem);
        return false;
    }
    EmptyClipboard();
    const bool ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
    CloseClipboard();
    if (!ok) GlobalFree(mem);  // on success the clipboard owns the block
    return ok;
}
