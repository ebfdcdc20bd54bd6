#include "data/files.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "data/paths.h"

namespace {

std::wstring widePath(const std::string& p) {
    std::wstring w = utf8ToWide(p);
    for (wchar_t& c : w)
        if (c == L'/') c = L'\\';
    return w;
}

std::wstring tempNameFor(const std::wstring& path) {
    static std::atomic<uint64_t> counter{0};
    const size_t slash = path.find_last_of(L'\\');
    const std::wstring dir = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    const std::wstring base = slash == std::wstring::npos ? path : path.substr(slash + 1);
    // A leading dot and a non-media extension keep an unfinished file out of the media counts.
    return dir + L"." + base + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1)) + L".part";
}

}  // namespace

bool isQuotaError(const std::error_code& ec) {
    constexpr int kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED; mingw's headers lack it
    return ec.value() == kDiskQuotaExceeded && ec.category() == std::system_category();
}

int errnoOfSystemError(unsigned long code) {
    // The Win32 errors a file call meets, by the errno value that words them.
    static const std::pair<unsigned long, int> kWin32Errno[] = {
        {ERROR_ACCESS_DENIED, EACCES},       {ERROR_SHARING_VIOLATION, EBUSY},  {ERROR_LOCK_VIOLATION, EBUSY},
        {ERROR_DISK_FULL, ENOSPC},           {ERROR_HANDLE_DISK_FULL, ENOSPC},  {ERROR_FILE_NOT_FOUND, ENOENT},
        {ERROR_PATH_NOT_FOUND, ENOENT},      {ERROR_WRITE_PROTECT, EROFS},      {ERROR_DIRECTORY, ENOTDIR},
        {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    };
    for (const auto& [win32, e] : kWin32Errno)
        if (win32 == code) return e;
    return 0;
}

namespace {
// The readable reason that ends every message below.
std::string inBrackets(DWORD e) { return "（" + systemErrorReason(e) + "）"; }
}  // namespace

bool listDirUtf8(const std::string& dir, std::vector<DirEntry>& out, std::string& err) {
    out.clear();
    std::wstring d = widePath(dir);
    if (!d.empty() && d.back() != L'\\') d += L'\\';
    WIN32_FIND_DATAW fd{};
    HANDLE h = FindFirstFileW((d + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        // An empty folder still lists "." on every file system; failure means no folder.
        const DWORD e = GetLastError();
        err = "打开目录失败 path=" + dir + inBrackets(e);
        return false;
    }
    do {
        const std::wstring fn = fd.cFileName;
        if (fn == L"." || fn == L"..") continue;
        out.push_back({wideToUtf8(fn), (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return true;
}

bool isDirUtf8(const std::string& path) {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesW(widePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ensureDirUtf8(const std::string& path, std::string& err) {
    if (path.empty()) {
        err = "空路径";
        return false;
    }
    const std::wstring p = widePath(path);
    for (size_t i = 1; i < p.size(); ++i)
        if (p[i] == L'\\' && p[i - 1] != L':') CreateDirectoryW(p.substr(0, i).c_str(), nullptr);
    if (CreateDirectoryW(p.c_str(), nullptr)) return true;
    DWORD e = GetLastError();
    if (e == ERROR_ALREADY_EXISTS) {
        if (isDirUtf8(path)) return true;
        e = ERROR_DIRECTORY;  // a file where the folder should be
    }
    err = "CreateDirectory 失败 errno=" + std::to_string(static_cast<unsigned long>(e)) + " path=" + path + inBrackets(e);
    return false;
}

// Windows folders hold no pipes or sockets, and device names are no files in them: reading
// a listed file never waits, and a folder fails to open.
std::FILE* openFileUtf8(const std::string& path, const char* mode) {
    return _wfopen(widePath(path).c_str(), utf8ToWide(mode).c_str());
}

bool writeFileBinaryUtf8(const std::string& pathIn, const std::string& data, std::string& err) {
    const std::wstring path = widePath(pathIn);
    std::wstring tmp;
    HANDLE f = INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < 100 && f == INVALID_HANDLE_VALUE; ++tries) {
        tmp = tempNameFor(path);
        // CREATE_NEW: never reuse someone else's file.
        f = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (f == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        err = "打开文件失败 path=" + pathIn + inBrackets(e);
        return false;
    }
    size_t written = 0;
    DWORD e = 0;
    while (written < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - written, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(f, data.data() + written, chunk, &n, nullptr) || n == 0) {
            e = GetLastError();
            break;
        }
        written += n;
    }
    if (e == 0 && !FlushFileBuffers(f)) e = GetLastError();
    if (!CloseHandle(f) && e == 0) e = GetLastError();
    if (written < data.size()) {
        DeleteFileW(tmp.c_str());
        err = "写入字节不完整 " + std::to_string(written) + "/" + std::to_string(data.size()) +
              " errno=" + std::to_string(static_cast<unsigned long>(e)) + inBrackets(e);
        return false;
    }
    if (e != 0) {  // the last buffered bytes could not reach the disk
        DeleteFileW(tmp.c_str());
        err = "写入失败 errno=" + std::to_string(static_cast<unsigned long>(e)) + " path=" + pathIn + inBrackets(e);
        return false;
    }
    if (!MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        e = GetLastError();
        DeleteFileW(tmp.c_str());
        err = "重命名失败 errno=" + std::to_string(static_cast<unsigned long>(e)) + " path=" + pathIn + inBrackets(e);
        return false;
    }
    return true;
}
