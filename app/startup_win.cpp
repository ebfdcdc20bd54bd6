// Start-up on Windows: message boxes and the system's font folder.
#include "app/startup.h"

#include <windows.h>

#include <cstdio>

#include "data/paths.h"

bool desktopAvailable() {
    // Without a display driver (a session with no desktop; Wine without an X display) no
    // window can be made, and the window library does not survive trying: probe with one.
    HWND probe = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
}

void reportStartupError(const std::string& text, bool dialog) {
    std::fprintf(stderr, "Kestrelbox: %s\n", text.c_str());
    std::fflush(stderr);
    if (dialog) MessageBoxW(nullptr, utf8ToWide(text).c_str(), L"Kestrelbox", MB_OK | MB_ICONERROR);
}

std::string systemFontFolder() {
    wchar_t buf[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::wstring dir(buf, n);
    if (dir.back() != L'\\') dir.push_back(L'\\');
    return wideToUtf8(dir + L"Fonts\\");
}

const char kPathListSeparator = ';';
